// results.hpp: COPT_Solve with its forced results, and the reads that follow it: attributes and solution values.
#pragma once

#include "standin/state/objects.hpp"
#include "standin/state/state.hpp"

namespace brenlox_copt::standin {

/// Solves and stores the result; `forced` overrides parts of it and is used up by this solve.
[[nodiscard]] int solve(Problem& problem, ForcedResult& forced);

[[nodiscard]] int get_int_attribute(const Problem& problem, const char* name, int* value);
[[nodiscard]] int get_double_attribute(const Problem& problem, const char* name, double* value);

/// Writes one value per column; fails when the last solve left no solution.
[[nodiscard]] int get_solution(const Problem& problem, double* values);

}  // namespace brenlox_copt::standin
