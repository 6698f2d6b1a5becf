// type_cache.hpp: type objects created once per process, on first need, and never released.
#pragma once

#include <Python.h>

namespace brenlox_copt::python {

/// The type made from `spec`, created on the first call and kept in `cache` from then on; null with the error set
/// when creation fails (a later call tries again).
[[nodiscard]] inline PyTypeObject* cached_type(PyObject*& cache, PyType_Spec& spec) noexcept {
  if (cache == nullptr) {
    cache = PyType_FromSpec(&spec);
  }
  return reinterpret_cast<PyTypeObject*>(cache);
}

}  // namespace brenlox_copt::python
