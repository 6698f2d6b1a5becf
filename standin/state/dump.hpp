// dump.hpp: the log and the live problems as JSON, for the tests' view of what reached the solver.
#pragma once

#include <string>

#include "standin/state/state.hpp"

namespace brenlox_copt::standin {

[[nodiscard]] std::string log_json(const State& state);
[[nodiscard]] std::string problems_json(const State& state);

}  // namespace brenlox_copt::standin
