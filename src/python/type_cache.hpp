// type_cache.hpp: type objects created on first need: the module's classes, one set per interpreter.
#pragma once

#include <Python.h>

#include "python/interpreter_types.hpp"

namespace brenlox_copt::python {

/// PyType_FromSpec, with MemoryError set when it fails without an error: CPython 3.11 can return null with none when
/// an allocation inside fails, which the import would report as a SystemError.
[[nodiscard]] inline PyObject* type_from_spec(PyType_Spec& spec) noexcept {
  PyObject* type = PyType_FromSpec(&spec);
  if (type == nullptr && PyErr_Occurred() == nullptr) {
    PyErr_NoMemory();
  }
  return type;
}

/// The calling interpreter's class `id`, made from `spec` on its first need there; null with the error set when
/// creation fails (a later call tries again).
[[nodiscard]] inline PyTypeObject* class_type(TypeId id, PyType_Spec& spec) noexcept {
  return reinterpret_cast<PyTypeObject*>(interpreter_type(id, [&spec] { return type_from_spec(spec); }));
}

}  // namespace brenlox_copt::python
