// batch_support.hpp: what the model's edits share: bound clamping, hot-loop checks, the name arrays of a batch.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "backend/error.hpp"
#include "backend/memory_advice.hpp"
#include "backend/model.hpp"
#include "backend/text.hpp"

namespace brenlox_copt::backend {

inline constexpr std::uint64_t kMaxCInt = std::numeric_limits<std::int32_t>::max();

[[nodiscard]] inline double clamp_to_solver_range(double bound) noexcept {
  return std::clamp(bound, -kSolverInfinity, kSolverInfinity);
}

/// The finiteness check for per-element loops: the shared check, which builds the message, runs only on failure.
[[nodiscard]] inline Status require_finite(double value, std::string_view what) {
  if (std::isfinite(value)) {
    return {};
  }
  return check_finite(value, what);
}

/// The c_int check for per-element loops, likewise.
[[nodiscard]] inline Result<std::int32_t> require_c_int(std::uint64_t value, std::string_view what) {
  if (value <= kMaxCInt) {
    return static_cast<std::int32_t>(value);
  }
  return to_c_int(value, what);
}

/// An array whose every element the caller writes before reading, so it is not zero-filled first (and, when large,
/// is backed by huge pages where the system allows).
template <class T>
[[nodiscard]] std::unique_ptr<T[]> uninitialized_array(std::size_t size) {
  auto array = std::make_unique_for_overwrite<T[]>(size);
  advise_huge_pages(array.get(), size * sizeof(T));
  return array;
}

/// The NUL-terminated names of one batch and the pointer array the solver takes, valid until this object goes.
class BatchNames {
 public:
  /// The given names in order, each passing the NUL check with the label `what` (their bytes are not copied); or,
  /// without names, "{prefix}{id}" for the `count` ids from first_id, written into one buffer sized up front.
  [[nodiscard]] static Result<BatchNames> of(const std::optional<std::span<const TerminatedText>>& given,
                                             std::string_view what, char prefix, std::uint64_t first_id,
                                             std::size_t count);

  [[nodiscard]] const char* const* pointers() const noexcept { return m_pointers.data(); }

 private:
  BatchNames() = default;
  [[nodiscard]] static BatchNames generated(char prefix, std::uint64_t first_id, std::size_t count);
  [[nodiscard]] static Result<BatchNames> given(std::span<const TerminatedText> names, std::string_view what);

  std::unique_ptr<char[]> m_buffer;
  std::vector<const char*> m_pointers;
};

/// How a batch's rows or columns are named: the given names, each NUL-checked with the label `what`, or else
/// "{prefix}{id}".
struct BatchNaming {
  std::optional<std::span<const TerminatedText>> given;
  std::string_view what;
  char prefix;
};

template <class NativeAdd>
Status BackendModel::add_batch(const BatchNaming& naming, IdRange ids, const BeforeAdding& before_adding,
                               const char* operation, NativeAdd&& add) {
  auto names = BatchNames::of(naming.given, naming.what, naming.prefix, ids.first, static_cast<std::size_t>(ids.count));
  if (!names) {
    return pass_up(names);
  }
  if (auto ready = ready_to_add(before_adding, ids); !ready) {
    return ready;
  }
  if (ids.count == 0) {
    return {};
  }
  if (auto added = check_call(table(), add(names->pointers()), operation); !added) {
    return added;
  }
  clear_results();
  return {};
}

}  // namespace brenlox_copt::backend
