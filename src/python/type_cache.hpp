// type_cache.hpp: type objects created once per process, on first need, and never released.
#pragma once

#include <Python.h>

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

/// The type made from `spec`, created on the first call and kept in `cache` from then on; null with the error set
/// when creation fails (a later call tries again).
[[nodiscard]] inline PyTypeObject* cached_type(PyObject*& cache, PyType_Spec& spec) noexcept {
  if (cache == nullptr) {
    cache = type_from_spec(spec);
  }
  return reinterpret_cast<PyTypeObject*>(cache);
}

}  // namespace brenlox_copt::python
