// constraint_rows.hpp: the converted arguments of add_constraints, checked, and handed to the backend with as little
// memory held at once as the call allows.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "backend/model.hpp"
#include "python/sequence.hpp"

namespace brenlox_copt::python {

/// The rows of one add_constraints call. What the backend never reads (the coefficients' row offsets, the senses and
/// right-hand sides once they are sets) is freed before the batch is prepared; the coefficients move on into the
/// prepared batch, so this object may go before the commit, and the call's peak memory stays that of the solver's
/// arrays.
class ConstraintRows {
 public:
  /// Checks, with ValueError at the first failure: every per-row argument's length against the number of rows, in
  /// argument order, then every row's coefficients against its variables, then every sense. Nullopt when one fails.
  [[nodiscard]] static std::optional<ConstraintRows> of(Rows<std::uint64_t> fs_vars, Rows<double> fs_coeffs,
                                                        std::vector<double> fs_consts, std::vector<char32_t> senses,
                                                        std::vector<double> rhss,
                                                        std::optional<std::span<const backend::TerminatedText>> names);

  /// The batch as the backend prepares it: the coefficients moved out, the rest viewed, valid while this object lives.
  [[nodiscard]] backend::ConstraintBatch batch() && noexcept;

 private:
  ConstraintRows(Rows<std::uint64_t> variables, std::vector<double> coefficients, std::vector<double> constants,
                 std::vector<backend::ConstraintSet> sets,
                 std::optional<std::span<const backend::TerminatedText>> names) noexcept;

  Rows<std::uint64_t> m_variables;
  std::vector<double> m_coefficients;
  std::vector<double> m_constants;
  std::vector<backend::ConstraintSet> m_sets;
  std::optional<std::span<const backend::TerminatedText>> m_names;
};

}  // namespace brenlox_copt::python
