// pending.hpp: what constructors and methods raise after converting their arguments, until the solver library
// loader and the backend are wired in.
#pragma once

#include <cstddef>

#include "python/errors.hpp"

namespace brenlox_copt::python {

inline std::nullptr_t raise_library_unavailable() noexcept {
  return raise_runtime_error("COPT solver library cannot be loaded yet");
}

}  // namespace brenlox_copt::python
