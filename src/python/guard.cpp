// guard.cpp: thread tokens, the thread check and the borrow rules.
#include "python/guard.hpp"

#include <Python.h>

#include <atomic>
#include <utility>

#include "python/errors.hpp"

namespace brenlox_copt::python {
namespace {

std::uint64_t current_thread_token() noexcept {
  static std::atomic<std::uint64_t> next_token{1};
  thread_local const std::uint64_t token = next_token.fetch_add(1, std::memory_order_relaxed);
  return token;
}

}  // namespace

ThreadBinding::ThreadBinding() noexcept : m_token(current_thread_token()) {}

bool ThreadBinding::is_current() const noexcept { return m_token == current_thread_token(); }

bool ThreadBinding::check(const char* type_path) const noexcept {
  if (is_current()) {
    return true;
  }
  raise_panic("%s is unsendable, but sent to another thread", type_path);
  return false;
}

Borrow Borrow::acquire(BorrowFlag& flag, BorrowKind kind) noexcept {
  if (kind == BorrowKind::Exclusive) {
    if (flag.m_state != 0) {
      raise_runtime_error("Already borrowed");
      return {};
    }
    flag.m_state = BorrowFlag::kExclusive;
  } else {
    if (flag.m_state == BorrowFlag::kExclusive) {
      raise_runtime_error("Already mutably borrowed");
      return {};
    }
    ++flag.m_state;
  }
  return {&flag, kind};
}

Borrow::Borrow(Borrow&& other) noexcept
    : m_flag(std::exchange(other.m_flag, nullptr)), m_kind(other.m_kind) {}

Borrow& Borrow::operator=(Borrow&& other) noexcept {
  if (this != &other) {
    give_back();
    m_flag = std::exchange(other.m_flag, nullptr);
    m_kind = other.m_kind;
  }
  return *this;
}

Borrow::~Borrow() { give_back(); }

void Borrow::give_back() noexcept {
  if (m_flag == nullptr) {
    return;
  }
  if (m_kind == BorrowKind::Exclusive) {
    m_flag->m_state = 0;
  } else {
    --m_flag->m_state;
  }
  m_flag = nullptr;
}

}  // namespace brenlox_copt::python
