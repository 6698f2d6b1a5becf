// signal_poll.hpp: how long conversions let Ctrl-C through: the signal handlers run once every so many items.
#pragma once

#include <Python.h>

#include <cstddef>

namespace brenlox_copt::python::detail {

/// Items converted between two runs of the signal handlers: a power of two, so that telling whether a run is due costs
/// one comparison, and large enough that the runs cost nothing measurable while Ctrl-C still stops a walk at once.
inline constexpr std::size_t kItemsPerSignalCheck = std::size_t{1} << 16;

/// Whether a walk's count of items, going from `before` to `after`, passed a multiple of kItemsPerSignalCheck.
[[nodiscard]] constexpr bool signal_check_due(std::size_t before, std::size_t after) noexcept {
  return (before ^ after) >= kItemsPerSignalCheck;
}

/// Runs the signal handlers when signal_check_due. False, with the handler's exception set (KeyboardInterrupt for
/// Ctrl-C), when one raised. A handler is Python code: it may change any object the walk reads.
[[nodiscard]] inline bool poll_signals(std::size_t before, std::size_t after) noexcept {
  return !signal_check_due(before, after) || PyErr_CheckSignals() == 0;
}

}  // namespace brenlox_copt::python::detail
