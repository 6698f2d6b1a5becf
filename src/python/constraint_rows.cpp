// constraint_rows.cpp: the checks of add_constraints' arguments and the order in which their memory is given back.
#include "python/constraint_rows.hpp"

#include <utility>

#include "python/model_values.hpp"

namespace brenlox_copt::python {
namespace {

/// Every per-row argument's length against the number of rows, in argument order, then every row's coefficients
/// against its variables, whatever the rows' positions.
[[nodiscard]] bool require_lengths(const Rows<std::uint64_t>& fs_vars, const Rows<double>& fs_coeffs,
                                 const std::vector<double>& fs_consts, const std::vector<char32_t>& senses,
                                 const std::vector<double>& rhss,
                                 const std::optional<std::span<const backend::TerminatedText>>& names) {
  const std::size_t rows = fs_vars.size();
  if (!require_length("constraint coefficient rows", fs_coeffs.size(), rows) ||
      !require_length("constraint constants", fs_consts.size(), rows) ||
      !require_length("constraint senses", senses.size(), rows) ||
      !require_length("constraint right-hand sides", rhss.size(), rows) ||
      (names && !require_length("constraint names", names->size(), rows))) {
    return false;
  }
  // Equal starts are equal row lengths, found in one comparison; only a mismatch (or starts of two kinds) needs the
  // row walk that names the first row whose lengths differ.
  if (fs_coeffs.starts().same_as(fs_vars.starts())) {
    return true;
  }
  for (std::size_t row = 0; row < rows; ++row) {
    if (!require_length("constraint coefficients", fs_coeffs[row].size(), fs_vars[row].size())) {
      return false;
    }
  }
  return true;
}

/// Each row's set from its sense and right-hand side; nullopt with the first bad sense's ValueError.
[[nodiscard]] std::optional<std::vector<backend::ConstraintSet>> constraint_sets(const std::vector<char32_t>& senses,
                                                                                 const std::vector<double>& rhss) {
  std::vector<backend::ConstraintSet> sets;
  sets.reserve(senses.size());
  for (std::size_t row = 0; row < senses.size(); ++row) {
    const std::optional<backend::ConstraintSet> set = constraint_set(senses[row], rhss[row]);
    if (!set) {
      return std::nullopt;
    }
    sets.push_back(*set);
  }
  return sets;
}

}  // namespace

std::optional<ConstraintRows> ConstraintRows::of(Rows<std::uint64_t> fs_vars, Rows<double> fs_coeffs,
                                                 std::vector<double> fs_consts, std::vector<char32_t> senses,
                                                 std::vector<double> rhss,
                                                 std::optional<std::span<const backend::TerminatedText>> names) {
  if (!require_lengths(fs_vars, fs_coeffs, fs_consts, senses, rhss, names)) {
    return std::nullopt;
  }
  std::optional<std::vector<backend::ConstraintSet>> sets = constraint_sets(senses, rhss);
  if (!sets) {
    return std::nullopt;
  }
  // Equal row lengths make both flat value arrays share fs_vars' starts, so the coefficients keep only their values;
  // the senses and right-hand sides go when this returns.
  return ConstraintRows(std::move(fs_vars), std::move(fs_coeffs).take_values(), std::move(fs_consts),
                        std::move(*sets), names);
}

ConstraintRows::ConstraintRows(Rows<std::uint64_t> variables, std::vector<double> coefficients,
                               std::vector<double> constants, std::vector<backend::ConstraintSet> sets,
                               std::optional<std::span<const backend::TerminatedText>> names) noexcept
    : m_variables(std::move(variables)),
      m_coefficients(std::move(coefficients)),
      m_constants(std::move(constants)),
      m_sets(std::move(sets)),
      m_names(names) {}

backend::ConstraintBatch ConstraintRows::batch() && noexcept {
  return {m_variables.values(), std::move(m_coefficients), m_variables.starts(), m_constants, m_sets, m_names};
}

}  // namespace brenlox_copt::python
