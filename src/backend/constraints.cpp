// constraints.cpp: adding linear constraints: a batch prepared as compressed rows, then committed in one native call.
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
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
  return batch.coefficients.size() == entries && batch.row_starts.describe(batch.constants.size(), entries);
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

/// The batch's counts: its shape, the number of rows, and the per-row lists' lengths. Checked before anything the
/// size of the batch is allocated.
[[nodiscard]] Status check_batch_shape(const ConstraintBatch& batch, std::uint64_t first_id) {
  if (!well_formed(batch)) {
    return std::unexpected(malformed_batch());
  }
  const std::size_t n = batch.constants.size();
  BRENLOX_PASS_UP_IF_FAILED(to_c_int(n, "constraint count"));
  if (n > std::numeric_limits<std::uint64_t>::max() - first_id) {
    return std::unexpected(BackendError::invalid_input("constraint count overflow"));
  }
  BRENLOX_PASS_UP_IF_FAILED(check_length(batch.sets.size(), n, "constraint sets"));
  return batch.names ? check_length(batch.names->size(), n, "constraint names") : Status{};
}

/// Checks the entries of one row in order (the variable, the coefficient, the column's c_int range) and writes each
/// entry's column where `columns` points, when it points anywhere.
[[nodiscard]] Status check_row_entries(const ConstraintBatch& batch, std::size_t start, std::size_t end,
                                       std::uint64_t variable_count, std::int32_t* columns) {
  for (std::size_t j = start; j < end; ++j) {
    const std::uint64_t variable = batch.variables[j];
    if (variable >= variable_count) {
      return std::unexpected(BackendError::invalid_variable_index(variable));
    }
    BRENLOX_PASS_UP_IF_FAILED(check_finite_inline(batch.coefficients[j], "constraint coefficient"));
    BRENLOX_ASSIGN_OR_PASS_UP(column, to_c_int_inline(variable, "variable index"));
    if (columns != nullptr) {
      columns[j] = column;
    }
  }
  return {};
}

/// Whether every entry passes check_row_entries, found in one branch-free pass; when so, each entry's column is
/// written where `columns` points. A false answer writes nothing that counts: the row walk then finds the first
/// failure, so that the error is the one it always was.
[[nodiscard]] bool all_entries_pass(const ConstraintBatch& batch, std::uint64_t variable_count,
                                    std::int32_t* columns) noexcept {
  // A variable below the count then also fits a c_int.
  if (variable_count > kMaxCInt + 1) {
    return false;
  }
  const std::size_t entries = batch.variables.size();
  const std::uint64_t* variables = batch.variables.data();
  const double* coefficients = batch.coefficients.data();
  bool pass = true;
  for (std::size_t j = 0; j < entries; ++j) {
    pass &= (variables[j] < variable_count) & std::isfinite(coefficients[j]);
  }
  if (pass && columns != nullptr) {
    std::transform(variables, variables + entries, columns,
                   [](std::uint64_t variable) { return static_cast<std::int32_t>(variable); });
  }
  return pass;
}

/// Checks the rows in order, each row's constant, extent, entries and bounds, and builds the solver's arrays in the
/// same pass. The entries are checked for the whole batch first, and row by row only when one of them fails.
[[nodiscard]] Result<RowArrays> build_rows(const ConstraintBatch& batch, std::uint64_t variable_count,
                                           std::uint64_t first_id) {
  const std::size_t n = batch.constants.size();
  const std::size_t entries = batch.variables.size();
  // Such a batch is refused after the rows are checked, so its column indices are checked but never stored. Any
  // other batch's row starts and lengths fit a c_int, as they are at most its entry count.
  const bool store_columns = entries <= kMaxCInt;
  RowArrays rows{SmallArray<std::int32_t, 1>(n), SmallArray<std::int32_t, 1>(n),
                 SmallArray<std::int32_t, RowArrays::kInlineEntries>(store_columns ? entries : 0),
                 SmallArray<double, 1>(n), SmallArray<double, 1>(n)};
  std::int32_t* const columns = store_columns ? rows.columns.data() : nullptr;
  const bool entries_pass = all_entries_pass(batch, variable_count, columns);
  std::int32_t* const starts = rows.starts.data();
  std::int32_t* const counts = rows.counts.data();
  double* const lower = rows.lower.data();
  double* const upper = rows.upper.data();
  for (std::size_t k = 0; k < n; ++k) {
    const double constant = batch.constants[k];
    BRENLOX_PASS_UP_IF_FAILED(check_finite_inline(constant, "constraint constant"));
    const std::size_t start = batch.row_starts[k];
    const std::size_t end = batch.row_starts[k + 1];
    if (end < start) {
      return std::unexpected(malformed_batch());
    }
    if (store_columns) {
      starts[k] = static_cast<std::int32_t>(start);
      counts[k] = static_cast<std::int32_t>(end - start);
    } else {
      BRENLOX_PASS_UP_IF_FAILED(to_c_int_inline(start, "constraint matrix offset"));
      BRENLOX_PASS_UP_IF_FAILED(to_c_int_inline(end - start, "constraint nonzero count"));
    }
    if (!entries_pass) {
      BRENLOX_PASS_UP_IF_FAILED(check_row_entries(batch, start, end, variable_count, columns));
    }
    BRENLOX_ASSIGN_OR_PASS_UP(bounds, row_bounds(batch.sets[k], constant, first_id + k));
    lower[k] = bounds.lower;
    upper[k] = bounds.upper;
  }
  // Each row's start and length fit a c_int, but the solver indexes the whole batch with one.
  BRENLOX_PASS_UP_IF_FAILED(to_c_int(entries, "constraint matrix entry count"));
  return rows;
}

}  // namespace

Result<PreparedRows> BackendModel::prepare_constraints(ConstraintBatch batch) const {
  BRENLOX_PASS_UP_IF_FAILED(check_batch_shape(batch, m_constraint_count));
  BRENLOX_ASSIGN_OR_PASS_UP(rows, build_rows(batch, m_variable_count, m_constraint_count));
  const IdRange ids{m_constraint_count, batch.constants.size()};
  BRENLOX_ASSIGN_OR_PASS_UP(names, BatchNames::of(batch.names, "constraint name", 'c', ids.first, ids.count));
  return PreparedRows(m_problem.get(), ids, std::move(names), std::move(rows), std::move(batch.coefficients));
}

Result<PreparedRows> BackendModel::prepare_constraint(RowFunction function, ConstraintSet set,
                                                      std::optional<TerminatedText> name) const {
  const RowStarts row_starts = RowStarts::uniform(1, function.variables.size());
  std::optional<std::span<const TerminatedText>> names;
  if (name) {
    names.emplace(&*name, 1);
  }
  return prepare_constraints({function.variables, std::move(function.coefficients), row_starts,
                              std::span<const double>(&function.constant, 1), std::span<const ConstraintSet>(&set, 1),
                              names});
}

Result<IdRange> BackendModel::commit(PreparedRows batch) {
  const RowArrays& rows = batch.m_rows;
  const bool has_entries = !batch.m_coefficients.empty();
  return commit_batch(batch, m_constraint_count, "COPT_AddRows", [&](const char* const* names) {
    // The coefficients are already row after row, as the solver reads them.
    return table().COPT_AddRows(m_problem.get(), static_cast<int>(batch.m_ids.count), rows.starts.data(),
                                rows.counts.data(), has_entries ? rows.columns.data() : nullptr,
                                has_entries ? batch.m_coefficients.data() : nullptr, nullptr, rows.lower.data(),
                                rows.upper.data(), names);
  });
}

}  // namespace brenlox_copt::backend
