// solve.cpp: optimizer attributes, update, the solve with its status mapping, and the cached results.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "backend/model.hpp"
#include "backend/solver_status.hpp"

namespace brenlox_copt::backend {

namespace {

[[nodiscard]] Status set_silent(const FunctionTable& table, copt_prob* problem, AttributeValue value) {
  const bool* silent = std::get_if<bool>(&value);
  if (silent == nullptr) {
    return std::unexpected(BackendError::invalid_input("Silent requires a boolean value"));
  }
  return check_call(table, table.COPT_SetIntParam(problem, "Logging", *silent ? 0 : 1), "COPT_SetIntParam(Logging)");
}

[[nodiscard]] Status set_time_limit(const FunctionTable& table, copt_prob* problem, AttributeValue value) {
  const double* limit = std::get_if<double>(&value);
  if (limit == nullptr) {
    return std::unexpected(BackendError::invalid_input("TimeLimit requires a floating-point value"));
  }
  if (!std::isfinite(*limit) || *limit < 0.0) {
    return std::unexpected(BackendError::invalid_input("TimeLimit must be finite and nonnegative"));
  }
  return check_call(table, table.COPT_SetDblParam(problem, "TimeLimit", *limit), "COPT_SetDblParam(TimeLimit)");
}

/// A solver parameter by name: which names exist and what kind each takes is for the solver to say.
[[nodiscard]] Status set_raw(const FunctionTable& table, copt_prob* problem, TerminatedText name,
                             AttributeValue value) {
  BRENLOX_PASS_UP_IF_FAILED(check_no_nul(name.view(), "raw COPT parameter name", BackendError::invalid_input));
  if (const std::int64_t* integer = std::get_if<std::int64_t>(&value)) {
    if (*integer < std::numeric_limits<std::int32_t>::min() || *integer > std::numeric_limits<std::int32_t>::max()) {
      return std::unexpected(BackendError::invalid_input("raw COPT integer parameter exceeds c_int range"));
    }
    return check_call(table, table.COPT_SetIntParam(problem, name.c_str(), static_cast<int>(*integer)),
                      "COPT_SetIntParam(Raw)");
  }
  if (const double* real = std::get_if<double>(&value)) {
    BRENLOX_PASS_UP_IF_FAILED(check_finite(*real, "raw COPT floating-point parameter"));
    return check_call(table, table.COPT_SetDblParam(problem, name.c_str(), *real), "COPT_SetDblParam(Raw)");
  }
  return check_call(table, table.COPT_SetIntParam(problem, name.c_str(), std::get<bool>(value) ? 1 : 0),
                    "COPT_SetIntParam(Raw)");
}

[[nodiscard]] Result<int> int_attribute(const FunctionTable& table, copt_prob* problem, const char* name,
                                        const char* operation) {
  int value = 0;
  BRENLOX_PASS_UP_IF_FAILED(check_call(table, table.COPT_GetIntAttr(problem, name, &value), operation));
  return value;
}

/// The result codes optimize answers with.
enum ResultCode : std::uint32_t {
  kNoOutcome = 0,
  kOptimal = 1,
  kInfeasible = 2,
  kUnbounded = 3,
  kStoppedWithSolution = 4,
};

/// The result code of a solver status; a stop at a limit counts only with a solution at hand.
[[nodiscard]] std::uint32_t result_code(int status, bool has_solution) noexcept {
  if (status == solver_status::kOptimal || status == solver_status::kOptimalToo) {
    return kOptimal;
  }
  if (status == solver_status::kInfeasible || status == solver_status::kInfeasibleToo) {
    return kInfeasible;
  }
  if (status == solver_status::kUnbounded) {
    return kUnbounded;
  }
  if (std::ranges::find(solver_status::kStoppedAtLimit, status) != solver_status::kStoppedAtLimit.end()) {
    return has_solution ? kStoppedWithSolution : kNoOutcome;
  }
  return kNoOutcome;
}

}  // namespace

Status BackendModel::set_optimizer_attr(const OptimizerAttribute& attribute, AttributeValue value) {
  if (std::holds_alternative<OptimizerAttribute::Silent>(attribute.kind)) {
    return set_silent(table(), m_problem.get(), value);
  }
  if (std::holds_alternative<OptimizerAttribute::TimeLimit>(attribute.kind)) {
    return set_time_limit(table(), m_problem.get(), value);
  }
  return set_raw(table(), m_problem.get(), std::get<OptimizerAttribute::Raw>(attribute.kind).name, value);
}

Status BackendModel::update() {
  return check_call(table(), table().COPT_Update(m_problem.get()), "COPT_Update");
}

Result<std::uint32_t> BackendModel::optimize() {
  clear_results();
  const FunctionTable& solver = table();
  copt_prob* problem = m_problem.get();
  BRENLOX_PASS_UP_IF_FAILED(check_call(solver, solver.COPT_Solve(problem), "COPT_Solve"));
  BRENLOX_ASSIGN_OR_PASS_UP(status, int_attribute(solver, problem, "Status", "COPT_GetIntAttr(Status)"));
  BRENLOX_ASSIGN_OR_PASS_UP(has_solution, int_attribute(solver, problem, "HasSol", "COPT_GetIntAttr(HasSol)"));
  const std::uint32_t code = result_code(status, has_solution != 0);
  if (has_solution == 0) {
    return code;
  }

  BRENLOX_ASSIGN_OR_PASS_UP(is_mip, int_attribute(solver, problem, "IsMIP", "COPT_GetIntAttr(IsMIP)"));
  std::vector<double> solution(static_cast<std::size_t>(m_variable_count));
  if (!solution.empty()) {
    const bool mip = is_mip != 0;
    const int read = mip ? solver.COPT_GetSolution(problem, solution.data())
                         : solver.COPT_GetLpSolution(problem, solution.data(), nullptr, nullptr, nullptr);
    BRENLOX_PASS_UP_IF_FAILED(check_call(solver, read, mip ? "COPT_GetSolution" : "COPT_GetLpSolution"));
  }
  double objective_value = 0.0;
  BRENLOX_PASS_UP_IF_FAILED(
      check_call(solver, solver.COPT_GetDblAttr(problem, "ObjVal", &objective_value), "COPT_GetDblAttr(ObjVal)"));
  // Both results are stored together, and only once every read succeeded.
  m_solution = std::move(solution);
  m_objective_value = objective_value;
  return code;
}

}  // namespace brenlox_copt::backend
