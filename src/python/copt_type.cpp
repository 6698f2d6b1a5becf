// copt_type.cpp: the COPT class: string constants naming the client configuration settings, and no instances.
#include "python/copt_type.hpp"

#include <array>
#include <utility>

#include "python/errors.hpp"
#include "python/ref.hpp"
#include "python/module_state.hpp"

namespace brenlox_copt::python {
namespace {

// Class attribute and the setting name the solver library knows it by, in the order they are set.
constexpr std::array<std::pair<const char*, const char*>, 8> kClientNames{{
    {"CLIENT_CAFILE", "CaFile"},
    {"CLIENT_CERTFILE", "CertFile"},
    {"CLIENT_CERTKEYFILE", "CertKeyFile"},
    {"CLIENT_CLUSTER", "Cluster"},
    {"CLIENT_PASSWORD", "PassWord"},
    {"CLIENT_PORT", "Port"},
    {"CLIENT_PRIORITY", "Priority"},
    {"CLIENT_WAITTIME", "WaitTime"},
}};

PyObject* COPT_new(PyTypeObject* type, PyObject* /*args*/, PyObject* /*kwargs*/) noexcept {
  auto* type_object = reinterpret_cast<PyObject*>(type);
  const Ref module = Ref::steal(PyObject_GetAttrString(type_object, "__module__"));
  if (!module) {
    return nullptr;
  }
  const Ref qualname = Ref::steal(PyObject_GetAttrString(type_object, "__qualname__"));
  if (!qualname) {
    return nullptr;
  }
  raise_formatted(PyExc_TypeError, "cannot create '%S.%S' instances", module.get(), qualname.get());
  return nullptr;
}

PyType_Slot COPT_slots[] = {
    {Py_tp_doc, const_cast<char*>("COPT client configuration names exposed by COPT 8.0.6.")},
    {Py_tp_new, reinterpret_cast<void*>(COPT_new)},
    {0, nullptr},
};

// "builtins." is a compatibility text: the __module__ callers already know the class by, not where it lives.
PyType_Spec COPT_spec = {"builtins.COPT", 0, 0, Py_TPFLAGS_DEFAULT, COPT_slots};

/// Replaces the pending error with RuntimeError "An error occurred while initializing class COPT", caused by it.
void raise_initialization_error() noexcept {
  FetchedError cause;
  const Ref error =
      Ref::steal(PyObject_CallFunction(PyExc_RuntimeError, "s", "An error occurred while initializing class COPT"));
  if (!error) {
    return;
  }
  PyException_SetCause(error.get(), cause.take_value());
  PyErr_SetObject(PyExc_RuntimeError, error.get());
}

}  // namespace

PyObject* new_copt_type(PyObject* module) noexcept {
  Ref type = Ref::steal(type_from_module(module, COPT_spec));
  if (!type) {
    return nullptr;
  }
  for (const auto& [attribute, name] : kClientNames) {
    const Ref value = Ref::steal(PyUnicode_FromString(name));
    if (!value || PyObject_SetAttrString(type.get(), attribute, value.get()) < 0) {
      raise_initialization_error();
      return nullptr;
    }
  }
  return type.release();
}

}  // namespace brenlox_copt::python
