// call.hpp: the frame of every entry point: lock, count, log, test controls, and no exception escaping.
#pragma once

#include <cstddef>
#include <mutex>
#include <new>
#include <optional>
#include <string>

#include "standin/library/arguments.hpp"
#include "standin/library/codes.hpp"
#include "standin/state/state.hpp"

namespace brenlox_copt::standin {

/// What a fired test control asks of a creator.
struct CreatorOrder {
  bool null_handle = false;
  /// Nonzero: hand out a real handle and still fail with this code.
  int failure_code = 0;
};

/// One entry-point call in progress, as its body sees it.
struct Call {
  State& state;
  CreatorOrder creator;
};

/// Appends the call to the log; returns its position.
[[nodiscard]] std::size_t log_call(State& state, EntryPoint entry_point, std::string arguments);

/// The control armed for `entry_point` if this call is its turn (disarming a one-shot control), else nullopt.
[[nodiscard]] std::optional<Arm> fire_arm(State& state, EntryPoint entry_point);

/// Runs one entry point: `record` writes its arguments for the log, `body` does the work unless a test control
/// fails the call first. Every exception becomes a return code.
template <class Record, class Body>
[[nodiscard]] int run_entry_point(EntryPoint entry_point, Record&& record, Body&& body) noexcept {
  State* state = live_state();
  if (state == nullptr) {
    return kInternalError;
  }
  int code = kInternalError;
  try {
    std::lock_guard lock(state->mutex);
    ++state->call_counts[static_cast<std::size_t>(entry_point)];
    std::optional<std::size_t> logged;
    if (state->controls.logging) {
      Arguments arguments(*state);
      record(arguments);
      logged = log_call(*state, entry_point, arguments.take());
    }
    try {
      const std::optional<Arm> arm = fire_arm(*state, entry_point);
      if (arm && arm->kind == ArmKind::Fail) {
        code = arm->code;
      } else {
        Call call{*state, {}};
        if (arm) {
          call.creator = arm->kind == ArmKind::NullHandle ? CreatorOrder{true, 0} : CreatorOrder{false, arm->code};
        }
        code = body(call);
      }
    } catch (const std::bad_alloc&) {
      code = kOutOfMemory;
    } catch (...) {
      code = kInternalError;
    }
    if (logged) {
      state->log[*logged].code = code;
    }
  } catch (const std::bad_alloc&) {
    code = kOutOfMemory;
  } catch (...) {
    code = kInternalError;
  }
  return code;
}

}  // namespace brenlox_copt::standin
