// copt_type.hpp: the COPT class, a namespace of client configuration names.
#pragma once

#include <Python.h>

namespace brenlox_copt::python {

/// The COPT type object with its class attributes, created on first need and kept for the process.
[[nodiscard]] PyTypeObject* copt_type() noexcept;

}  // namespace brenlox_copt::python
