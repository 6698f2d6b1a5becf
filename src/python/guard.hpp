// guard.hpp: the thread binding and the borrow state of the module's objects, with the borrow as an RAII guard.
#pragma once

#include <cstdint>

namespace brenlox_copt::python {

/// The thread that created an object. Tokens are never reused (unlike system thread ids), so an object whose
/// creating thread has ended can never pass the check on a later thread.
class ThreadBinding {
 public:
  /// Binds to the current thread.
  ThreadBinding() noexcept;

  [[nodiscard]] bool is_current() const noexcept;
  /// True on the creating thread; otherwise false with the internal-failure exception
  /// "{type_path} is unsendable, but sent to another thread" raised.
  [[nodiscard]] bool check(const char* type_path) const noexcept;

 private:
  std::uint64_t m_token;
};

enum class BorrowKind { Shared, Exclusive };

/// An object's borrow state: free, a count of readers, or one writer. A plain integer suffices because the thread
/// binding confines every borrow of an object to its creating thread.
class BorrowFlag {
 private:
  friend class Borrow;
  static constexpr std::int64_t kExclusive = -1;
  std::int64_t m_state = 0;
};

/// One held borrow of a BorrowFlag, given back when destroyed; empty when default-built or moved from.
class Borrow {
 public:
  Borrow() noexcept = default;
  /// Takes the borrow, or returns an empty Borrow with RuntimeError raised: "Already borrowed" when the exclusive
  /// borrow is wanted and any borrow is held, "Already mutably borrowed" when a shared one is wanted and the
  /// exclusive borrow is held.
  [[nodiscard]] static Borrow acquire(BorrowFlag& flag, BorrowKind kind) noexcept;

  Borrow(Borrow&& other) noexcept;
  Borrow& operator=(Borrow&& other) noexcept;
  Borrow(const Borrow&) = delete;
  Borrow& operator=(const Borrow&) = delete;
  ~Borrow();

  explicit operator bool() const noexcept { return m_flag != nullptr; }

 private:
  Borrow(BorrowFlag* flag, BorrowKind kind) noexcept : m_flag(flag), m_kind(kind) {}
  void give_back() noexcept;

  BorrowFlag* m_flag = nullptr;
  BorrowKind m_kind = BorrowKind::Shared;
};

}  // namespace brenlox_copt::python
