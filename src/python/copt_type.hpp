// copt_type.hpp: the COPT class, a namespace of client configuration names.
#pragma once

#include <Python.h>

namespace brenlox_copt::python {

/// The COPT type object with its class attributes, created on the calling interpreter's first need and kept with
/// that interpreter's set.
[[nodiscard]] PyTypeObject* copt_type() noexcept;

}  // namespace brenlox_copt::python
