// engine.hpp: the one call into the solving engine; everything around it (handles, checks, log) is engine-free.
#pragma once

#include <vector>

#include "standin/library/parameters.hpp"
#include "standin/state/objects.hpp"

namespace brenlox_copt::standin {

struct EngineOutcome {
  /// The engine itself broke down (never expected: the edits let only data through that it accepts).
  bool failed = false;
  int status = 0;
  bool has_solution = false;
  /// Including the objective constant.
  double objective = 0.0;
  /// One value per column when `has_solution`.
  std::vector<double> values;
};

/// Solves the problem as it stands: as a MIP when it has integer or binary columns, else as an LP.
[[nodiscard]] EngineOutcome solve_with_engine(const Problem& problem, const SolverSettings& settings);

}  // namespace brenlox_copt::standin
