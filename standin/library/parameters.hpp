// parameters.hpp: the solver parameters the stand-in knows, set by name per problem, and what the engine reads.
#pragma once

#include "standin/state/objects.hpp"

namespace brenlox_copt::standin {

/// The parameter values a solve runs with: those set on the problem, defaults for the rest.
struct SolverSettings {
  bool logging;
  double time_limit;
  double relative_gap;
  double feasibility_tolerance;
  double dual_tolerance;
  double integrality_tolerance;
};

/// Unknown names, the other kind and out-of-range values fail with their codes and change nothing.
[[nodiscard]] int set_int_parameter(Problem& problem, const char* name, int value);
[[nodiscard]] int set_double_parameter(Problem& problem, const char* name, double value);

[[nodiscard]] SolverSettings settings_of(const Problem& problem);

}  // namespace brenlox_copt::standin
