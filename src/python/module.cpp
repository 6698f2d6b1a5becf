// module.cpp: the module's only export, PyInit_brenlox_copt, and its execution step, which adds the four classes.
#include <Python.h>

#include <array>

#include "python/copt_type.hpp"
#include "python/env_types.hpp"
#include "python/errors.hpp"
#include "python/interpreter_types.hpp"
#include "python/model_type.hpp"
#include "python/ref.hpp"

namespace brenlox_copt::python {
namespace {

struct ClassEntry {
  const char* name;
  PyTypeObject* (*type)() noexcept;
};

// Registration order, which is also the order of __all__.
constexpr std::array<ClassEntry, 4> kClasses{{
    {"COPT", copt_type},
    {"Env", EnvClass::type},
    {"EnvrConfig", EnvrConfigClass::type},
    {"Model", ModelClass::type},
}};

/// The module's __all__, created as an empty list when the module has none.
Ref all_list(PyObject* module) noexcept {
  Ref all = Ref::steal(PyObject_GetAttrString(module, "__all__"));
  if (!all) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) {
      return {};
    }
    PyErr_Clear();
    all = Ref::steal(PyList_New(0));
    if (!all || PyObject_SetAttrString(module, "__all__", all.get()) < 0) {
      return {};
    }
    return all;
  }
  if (!PyList_Check(all.get())) {
    raise_downcast_error(all.get(), "list");
    return {};
  }
  return all;
}

/// Turns a failed append to __all__ into an internal failure that names the original error.
void raise_append_failure() noexcept {
  const FetchedError error;
  raise_panic("could not append __name__ to __all__: %S", error.value() != nullptr ? error.value() : Py_None);
}

bool add_class(PyObject* module, const char* name, PyTypeObject* type) noexcept {
  const Ref all = all_list(module);
  if (!all) {
    return false;
  }
  const Ref text = Ref::steal(PyUnicode_FromString(name));
  if (!text) {
    return false;
  }
  if (PyList_Append(all.get(), text.get()) < 0) {
    raise_append_failure();
    return false;
  }
  return PyObject_SetAttrString(module, name, reinterpret_cast<PyObject*>(type)) == 0;
}

/// What a module object records: whether it holds its interpreter's types (from its execution step on).
struct ModuleState {
  bool holds_types;
};

int module_exec(PyObject* module) noexcept {
  if (!PyModule_Check(module)) {
    raise_downcast_error(module, "module");
    return -1;
  }
  auto* state = static_cast<ModuleState*>(PyModule_GetState(module));
  if (state != nullptr && !state->holds_types) {
    if (!hold_interpreter_types()) {
      return -1;
    }
    state->holds_types = true;
  }
  for (const ClassEntry& entry : kClasses) {
    PyTypeObject* type = entry.type();
    if (type == nullptr || !add_class(module, entry.name, type)) {
      return -1;
    }
  }
  return 0;
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(module_exec)},
    {0, nullptr},
};

/// Gives the module object's hold on its interpreter's types back: a sub-interpreter's go with its last module object.
void module_free(void* module) noexcept {
  const auto* state = static_cast<const ModuleState*>(PyModule_GetState(static_cast<PyObject*>(module)));
  if (state != nullptr && state->holds_types) {
    give_back_interpreter_types();
  }
}

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT, "brenlox_copt", "", sizeof(ModuleState), nullptr, module_slots, nullptr, nullptr,
    module_free,
};

}  // namespace
}  // namespace brenlox_copt::python

PyMODINIT_FUNC PyInit_brenlox_copt() { return PyModuleDef_Init(&brenlox_copt::python::module_definition); }
