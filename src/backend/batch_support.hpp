// batch_support.hpp: what the model's batches share: bound clamping, hot-loop checks, the commit.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <string_view>

#include "backend/error.hpp"
#include "backend/model.hpp"
#include "backend/small_array.hpp"

namespace brenlox_copt::backend {

inline constexpr std::uint64_t kMaxCInt = std::numeric_limits<std::int32_t>::max();

[[nodiscard]] inline double clamp_to_solver_range(double bound) noexcept {
  return std::clamp(bound, -kSolverInfinity, kSolverInfinity);
}

/// The finiteness check for per-element loops: the shared check, which builds the message, runs only on failure.
[[nodiscard]] inline Status check_finite_inline(double value, std::string_view what) {
  if (std::isfinite(value)) {
    return {};
  }
  return check_finite(value, what);
}

/// The c_int check for per-element loops, likewise.
[[nodiscard]] inline Result<std::int32_t> to_c_int_inline(std::uint64_t value, std::string_view what) {
  if (value <= kMaxCInt) {
    return static_cast<std::int32_t>(value);
  }
  return to_c_int(value, what);
}

template <class NativeAdd>
Result<IdRange> BackendModel::commit_batch(const PreparedBatch& batch, std::uint64_t& count, const char* operation,
                                           NativeAdd&& add) {
  if (batch.m_problem != m_problem.get() || batch.m_ids.first != count) {
    return std::unexpected(BackendError::backend_state("the batch was prepared for another model or an earlier state"));
  }
  if (batch.m_ids.count == 0) {
    return batch.m_ids;
  }
  BRENLOX_PASS_UP_IF_FAILED(check_call(table(), add(batch.m_names.pointers()), operation));
  count += batch.m_ids.count;
  clear_results();
  return batch.m_ids;
}

}  // namespace brenlox_copt::backend
