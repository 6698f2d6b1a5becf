// objective.cpp: replacing a model's whole linear objective: coefficients, constant and sense.
#include <numeric>
#include <utility>
#include <vector>

#include "backend/batch_support.hpp"
#include "backend/model.hpp"

namespace brenlox_copt::backend {

Status BackendModel::set_objective(const ObjectiveFunction& function, ObjectiveSense sense) {
  if (function.coefficients.size() != function.variables.size()) {
    return std::unexpected(BackendError::backend_state("malformed objective function"));
  }
  BRENLOX_PASS_UP_IF_FAILED(check_finite(function.constant, "objective constant"));
  const auto size = static_cast<std::size_t>(m_variable_count);
  // Sent whole, so a variable that no term names loses the coefficient an earlier objective gave it.
  std::vector<double> objective(size, 0.0);
  for (std::size_t i = 0; i < function.variables.size(); ++i) {
    const AffineTerm term = function.term(i);
    if (term.variable >= m_variable_count) {
      return std::unexpected(BackendError::invalid_variable_index(term.variable));
    }
    BRENLOX_PASS_UP_IF_FAILED(check_finite_inline(term.coefficient, "objective coefficient"));
    double& entry = objective[static_cast<std::size_t>(term.variable)];
    entry += term.coefficient;
    BRENLOX_PASS_UP_IF_FAILED(check_finite_inline(entry, "summed objective coefficient"));
  }

  const FunctionTable& solver = table();
  copt_prob* problem = m_problem.get();
  if (size > 0) {
    BRENLOX_PASS_UP_IF_FAILED(to_c_int(m_variable_count - 1, "objective variable index"));
    auto count = to_c_int(m_variable_count, "objective coefficient count");
    BRENLOX_PASS_UP_IF_FAILED(count);
    auto indices = uninitialized_array<std::int32_t>(size);
    std::iota(indices.get(), indices.get() + size, 0);
    const int status = solver.COPT_SetColObj(problem, *count, indices.get(), objective.data());
    BRENLOX_PASS_UP_IF_FAILED(check_call(solver, status, "COPT_SetColObj"));
    // A failure from here on leaves the parts already sent in the problem (none of the calls is undone), so the last
    // solve's results no longer describe it whatever follows.
    clear_results();
  }
  BRENLOX_PASS_UP_IF_FAILED(
      check_call(solver, solver.COPT_SetObjConst(problem, function.constant), "COPT_SetObjConst"));
  clear_results();
  const int native_sense = sense == ObjectiveSense::Maximize ? -1 : 1;
  return check_call(solver, solver.COPT_SetObjSense(problem, native_sense), "COPT_SetObjSense");
}

}  // namespace brenlox_copt::backend
