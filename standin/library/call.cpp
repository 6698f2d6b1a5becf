// call.cpp: the bookkeeping shared by every entry point: counting, logging and firing test controls.
#include "standin/library/call.hpp"

#include <utility>

namespace brenlox_copt::standin {

std::size_t log_call(State& state, EntryPoint entry_point, std::string arguments) {
  state.log.push_back({std::string(name_of(entry_point)), std::move(arguments), 0, false});
  return state.log.size() - 1;
}

std::optional<Arm> fire_arm(State& state, EntryPoint entry_point) {
  std::optional<Arm>& armed = state.controls.arms[static_cast<std::size_t>(entry_point)];
  if (!armed) {
    return std::nullopt;
  }
  if (armed->countdown > 1) {
    --armed->countdown;
    return std::nullopt;
  }
  const Arm fired = *armed;
  if (!fired.persistent) {
    armed.reset();
  }
  return fired;
}

}  // namespace brenlox_copt::standin
