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
  if (auto checked = check_finite(function.constant, "objective constant"); !checked) {
    return checked;
  }
  const auto size = static_cast<std::size_t>(m_variable_count);
  // Sent whole, so a variable that no term names loses the coefficient an earlier objective gave it.
  std::vector<double> objective(size, 0.0);
  for (std::size_t i = 0; i < function.variables.size(); ++i) {
    const AffineTerm term = function.term(i);
    if (term.variable >= m_variable_count) {
      return std::unexpected(BackendError::invalid_variable_index(term.variable));
    }
    if (auto checked = check_finite_inline(term.coefficient, "objective coefficient"); !checked) {
      return checked;
    }
    double& entry = objective[static_cast<std::size_t>(term.variable)];
    entry += term.coefficient;
    if (auto checked = check_finite_inline(entry, "summed objective coefficient"); !checked) {
      return checked;
    }
  }

  const FunctionTable& solver = table();
  copt_prob* problem = m_problem.get();
  if (size > 0) {
    if (auto last = to_c_int(m_variable_count - 1, "objective variable index"); !last) {
      return pass_up(last);
    }
    auto count = to_c_int(m_variable_count, "objective coefficient count");
    if (!count) {
      return pass_up(count);
    }
    auto indices = uninitialized_array<std::int32_t>(size);
    std::iota(indices.get(), indices.get() + size, 0);
    const int status = solver.COPT_SetColObj(problem, *count, indices.get(), objective.data());
    if (auto checked = check_call(solver, status, "COPT_SetColObj"); !checked) {
      return checked;
    }
    // A failure from here on leaves the parts already sent in the problem (none of the calls is undone), so the last
    // solve's results no longer describe it whatever follows.
    clear_results();
  }
  if (auto checked = check_call(solver, solver.COPT_SetObjConst(problem, function.constant), "COPT_SetObjConst");
      !checked) {
    return checked;
  }
  clear_results();
  const int native_sense = sense == ObjectiveSense::Maximize ? -1 : 1;
  if (auto checked = check_call(solver, solver.COPT_SetObjSense(problem, native_sense), "COPT_SetObjSense");
      !checked) {
    return checked;
  }
  return {};
}

}  // namespace brenlox_copt::backend
