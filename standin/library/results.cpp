// results.cpp: solving with forced results, and the attributes and solution values read after a solve.
#include "standin/library/results.hpp"

#include <algorithm>
#include <array>
#include <chrono>
#include <string_view>
#include <utility>

#include "backend/solver_status.hpp"
#include "standin/library/codes.hpp"
#include "standin/library/engine.hpp"

namespace brenlox_copt::standin {
namespace {

constexpr std::array<std::string_view, 5> kIntAttributes = {"Status", "HasSol", "IsMIP", "Cols", "Rows"};
constexpr std::array<std::string_view, 2> kDoubleAttributes = {"ObjVal", "SolvingTime"};

[[nodiscard]] int unreadable(std::string_view name, const auto& other_kind) {
  return std::ranges::find(other_kind, name) == other_kind.end() ? kUnknownAttribute : kAttributeKind;
}

/// The objective at `values`, for a forced solution that comes without a forced objective value.
[[nodiscard]] double objective_at(const Problem& problem, const std::vector<double>& values) {
  double objective = problem.objective_constant;
  for (std::size_t column = 0; column < values.size(); ++column) {
    objective += problem.columns[column].objective * values[column];
  }
  return objective;
}

}  // namespace

int solve(Problem& problem, ForcedResult& forced) {
  const ForcedResult used = std::exchange(forced, ForcedResult{});
  problem.result.reset();
  if (used.values && used.values->size() != problem.columns.size()) {
    return kForcedSolutionLength;
  }
  const auto started = std::chrono::steady_clock::now();
  EngineOutcome outcome = solve_with_engine(problem, settings_of(problem));
  if (outcome.failed) {
    return kEngineFailure;
  }
  SolveResult result;
  result.status = used.status.value_or(outcome.status);
  result.has_solution = used.has_solution.value_or(outcome.has_solution ? 1 : 0);
  result.is_mip = used.is_mip.value_or(has_integer_columns(problem) ? 1 : 0);
  if (used.values) {
    result.values = *used.values;
  } else if (outcome.has_solution) {
    result.values = std::move(outcome.values);
  } else {
    result.values.assign(problem.columns.size(), 0.0);
  }
  const bool engine_objective = outcome.has_solution && !used.values;
  result.objective = used.objective.value_or(engine_objective ? outcome.objective : objective_at(problem, result.values));
  result.solving_time = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  problem.result = std::move(result);
  return kOk;
}

int get_int_attribute(const Problem& problem, const char* name, int* value) {
  if (name == nullptr || value == nullptr) {
    return kNullArgument;
  }
  const std::string_view attribute = name;
  const SolveResult* result = problem.result ? &*problem.result : nullptr;
  if (attribute == "Status") {
    *value = result != nullptr ? result->status : solver_status::kUnstarted;
  } else if (attribute == "HasSol") {
    *value = result != nullptr ? result->has_solution : 0;
  } else if (attribute == "IsMIP") {
    *value = result != nullptr ? result->is_mip : static_cast<int>(has_integer_columns(problem));
  } else if (attribute == "Cols") {
    *value = static_cast<int>(problem.columns.size());
  } else if (attribute == "Rows") {
    *value = static_cast<int>(problem.rows.size());
  } else {
    return unreadable(attribute, kDoubleAttributes);
  }
  return kOk;
}

int get_double_attribute(const Problem& problem, const char* name, double* value) {
  if (name == nullptr || value == nullptr) {
    return kNullArgument;
  }
  const std::string_view attribute = name;
  const SolveResult* result = problem.result ? &*problem.result : nullptr;
  if (attribute == "ObjVal") {
    if (result == nullptr || result->has_solution == 0) {
      return kNoSolution;
    }
    *value = result->objective;
  } else if (attribute == "SolvingTime") {
    *value = result != nullptr ? result->solving_time : 0.0;
  } else {
    return unreadable(attribute, kIntAttributes);
  }
  return kOk;
}

int get_solution(const Problem& problem, double* values) {
  if (values == nullptr) {
    return kNullArgument;
  }
  if (!problem.result || problem.result->has_solution == 0) {
    return kNoSolution;
  }
  std::ranges::copy(problem.result->values, values);
  return kOk;
}

}  // namespace brenlox_copt::standin
