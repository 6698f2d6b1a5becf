// constraints.cpp: adding linear constraints, a whole batch as compressed rows in one native call.
#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include "backend/batch_support.hpp"
#include "backend/model.hpp"
#include "backend/number_text.hpp"

namespace brenlox_copt::backend {

namespace {

[[nodiscard]] BackendError malformed_batch() {
  return BackendError::backend_state("malformed constraint batch");
}

/// The shape the caller promises. Checked because the row loop trusts it for every read; the rows' starts are
/// checked for order as the loop reaches them.
[[nodiscard]] bool well_formed(const ConstraintBatch& batch) noexcept {
  const std::size_t entries = batch.variables.size();
  if (batch.coefficients.size() != entries) {
    return false;
  }
  if (batch.row_starts.empty()) {
    return batch.constants.empty() && entries == 0;
  }
  return batch.row_starts.size() == batch.constants.size() + 1 && batch.row_starts.front() == 0 &&
         batch.row_starts.back() == entries;
}

struct RowBounds {
  double lower;
  double upper;
};

/// The row's bounds: the set's value with the function's constant moved over, clamped to the solver's range.
[[nodiscard]] Result<RowBounds> row_bounds(ConstraintSet set, double constant, std::uint64_t id) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  const double shifted = set.value - constant;
  RowBounds bounds{shifted, shifted};
  if (set.kind == ConstraintSet::Kind::GreaterThan) {
    bounds.upper = kInfinity;
  } else if (set.kind == ConstraintSet::Kind::LessThan) {
    bounds.lower = -kInfinity;
  } else if (std::isnan(set.value)) {
    const std::string value = format_number(set.value);
    return std::unexpected(BackendError::invalid_input("constraint " + std::to_string(id) + " has invalid bounds [" +
                                                       value + ", " + value + "]"));
  }
  if (std::isnan(bounds.lower) || std::isnan(bounds.upper)) {
    return std::unexpected(
        BackendError::invalid_input("constraint " + std::to_string(id) + " produces a NaN bound"));
  }
  return RowBounds{clamp_to_solver_range(bounds.lower), clamp_to_solver_range(bounds.upper)};
}

}  // namespace

Result<IdRange> BackendModel::add_constraints(const ConstraintBatch& batch, const BeforeAdding& before_adding) {
  if (!well_formed(batch)) {
    return std::unexpected(malformed_batch());
  }
  const std::size_t n = batch.constants.size();
  auto count = to_c_int(n, "constraint count");
  if (!count) {
    return std::unexpected(std::move(count.error()));
  }
  if (n > std::numeric_limits<std::uint64_t>::max() - m_constraint_count) {
    return std::unexpected(BackendError::invalid_input("constraint count overflow"));
  }
  if (auto length = check_length(batch.sets.size(), n, "constraint sets"); !length) {
    return std::unexpected(std::move(length.error()));
  }
  if (batch.names) {
    if (auto length = check_length(batch.names->size(), n, "constraint names"); !length) {
      return std::unexpected(std::move(length.error()));
    }
  }

  const std::uint64_t first_id = m_constraint_count;
  const std::size_t entries = batch.variables.size();
  // Such a batch is refused after the rows are checked, so its column indices are checked but never stored.
  const bool store_columns = entries <= kMaxCInt;
  auto starts = uninitialized_array<std::int32_t>(n);
  auto counts = uninitialized_array<std::int32_t>(n);
  auto columns = uninitialized_array<std::int32_t>(store_columns ? entries : 0);
  auto lower = uninitialized_array<double>(n);
  auto upper = uninitialized_array<double>(n);
  for (std::size_t k = 0; k < n; ++k) {
    const double constant = batch.constants[k];
    if (auto checked = require_finite(constant, "constraint constant"); !checked) {
      return std::unexpected(std::move(checked.error()));
    }
    const std::size_t start = batch.row_starts[k];
    const std::size_t end = batch.row_starts[k + 1];
    if (end < start) {
      return std::unexpected(malformed_batch());
    }
    auto row_start = require_c_int(start, "constraint matrix offset");
    if (!row_start) {
      return std::unexpected(std::move(row_start.error()));
    }
    auto row_count = require_c_int(end - start, "constraint nonzero count");
    if (!row_count) {
      return std::unexpected(std::move(row_count.error()));
    }
    for (std::size_t j = start; j < end; ++j) {
      const std::uint64_t variable = batch.variables[j];
      if (variable >= m_variable_count) {
        return std::unexpected(BackendError::invalid_variable_index(variable));
      }
      if (auto checked = require_finite(batch.coefficients[j], "constraint coefficient"); !checked) {
        return std::unexpected(std::move(checked.error()));
      }
      auto column = require_c_int(variable, "variable index");
      if (!column) {
        return std::unexpected(std::move(column.error()));
      }
      if (store_columns) {
        columns[j] = *column;
      }
    }
    auto bounds = row_bounds(batch.sets[k], constant, first_id + k);
    if (!bounds) {
      return std::unexpected(std::move(bounds.error()));
    }
    starts[k] = *row_start;
    counts[k] = *row_count;
    lower[k] = bounds->lower;
    upper[k] = bounds->upper;
  }
  // Each row's start and length fit a c_int, but the solver indexes the whole batch with one.
  if (auto total = to_c_int(entries, "constraint matrix entry count"); !total) {
    return std::unexpected(std::move(total.error()));
  }
  auto names = BatchNames::of(batch.names, "constraint name", 'c', first_id, n);
  if (!names) {
    return std::unexpected(std::move(names.error()));
  }

  const IdRange ids{first_id, n};
  if (auto ready = ready_to_add(before_adding, ids); !ready) {
    return std::unexpected(std::move(ready.error()));
  }
  if (n > 0) {
    // The coefficients are already row after row, as the solver reads them.
    const int status = table().COPT_AddRows(m_problem.get(), *count, starts.get(), counts.get(),
                                            entries > 0 ? columns.get() : nullptr,
                                            entries > 0 ? batch.coefficients.data() : nullptr, nullptr, lower.get(),
                                            upper.get(), names->pointers());
    if (auto checked = check_call(table(), status, "COPT_AddRows"); !checked) {
      return std::unexpected(std::move(checked.error()));
    }
    clear_results();
  }
  m_constraint_count += n;
  return ids;
}

Result<std::uint64_t> BackendModel::add_constraint(const ScalarFunction& function, ConstraintSet set,
                                                   std::optional<TerminatedText> name,
                                                   const BeforeAdding& before_adding) {
  const std::array<std::size_t, 2> row_starts{0, function.variables.size()};
  std::optional<std::span<const TerminatedText>> names;
  if (name) {
    names.emplace(&*name, 1);
  }
  const ConstraintBatch batch{function.variables,
                              function.coefficients,
                              row_starts,
                              std::span<const double>(&function.constant, 1),
                              std::span<const ConstraintSet>(&set, 1),
                              names};
  auto ids = add_constraints(batch, before_adding);
  if (!ids) {
    return std::unexpected(std::move(ids.error()));
  }
  return ids->first;
}

}  // namespace brenlox_copt::backend
