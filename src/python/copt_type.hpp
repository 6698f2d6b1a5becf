// copt_type.hpp: the COPT class, a namespace of client configuration names.
#pragma once

#include <Python.h>

namespace brenlox_copt::python {

/// A new COPT type object made with `module`, with its class attributes; null with the error set on failure.
[[nodiscard]] PyObject* new_copt_type(PyObject* module) noexcept;

}  // namespace brenlox_copt::python
