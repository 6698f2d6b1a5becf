// module.cpp: the module's only export, PyInit_brenlox_copt, its execution step, which makes or finds the module's
// classes and exception type and adds the four classes, and its state's part in garbage collection.
#include <Python.h>

#include <array>
#include <cstddef>

#include "python/copt_type.hpp"
#include "python/env_types.hpp"
#include "python/errors.hpp"
#include "python/model_type.hpp"
#include "python/module_state.hpp"
#include "python/ref.hpp"

namespace brenlox_copt::python {
namespace {

/// A class makes itself with a module object: from its spec, or with what else it needs (COPT's attributes).
template <class Class>
PyObject* new_class(PyObject* module) noexcept {
  return type_from_module(module, Class::spec());
}

struct ClassEntry {
  const char* name;
  std::size_t slot;
  PyObject* (*make)(PyObject* module) noexcept;
};

// Registration order, which is also the order of __all__.
constexpr std::array<ClassEntry, 4> kClasses{{
    {"COPT", 0, new_copt_type},
    {"Env", EnvClass::kStateSlot, new_class<EnvClass>},
    {"EnvrConfig", EnvrConfigClass::kStateSlot, new_class<EnvrConfigClass>},
    {"Model", ModelClass::kStateSlot, new_class<ModelClass>},
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

/// Fills `state` with new classes made with `module` and a new exception type; false with the error set on failure
/// (what was made stays in the state, which the module object's clearing gives back).
bool make_types(PyObject* module, ModuleState& state) noexcept {
  for (const ClassEntry& entry : kClasses) {
    state.classes[entry.slot] = entry.make(module);
    if (state.classes[entry.slot] == nullptr) {
      return false;
    }
  }
  state.panic = new_panic_exception_type();
  return state.panic != nullptr;
}

/// Makes `state` refer to the classes and exception type of `from` (new references).
void share_types(const ModuleState& from, ModuleState& state) noexcept {
  for (std::size_t slot = 0; slot < from.classes.size(); ++slot) {
    state.classes[slot] = Py_NewRef(from.classes[slot]);
  }
  state.panic = Py_NewRef(from.panic);
}

// The main interpreter's classes and exception type: made by its first module object to execute, kept for the life
// of the process, and shared by every later module object there (a re-import gives the same classes). Only the main
// interpreter reads or writes it, under its own lock. A sub-interpreter's module objects each make their own.
constinit ModuleState g_main_types{};

[[nodiscard]] bool in_main_interpreter() noexcept { return PyInterpreterState_GetID(PyInterpreterState_Get()) == 0; }

/// The module object's classes and exception type, made or, in the main interpreter after the first time, shared.
bool set_up_types(PyObject* module, ModuleState& state) noexcept {
  if (!in_main_interpreter()) {
    return make_types(module, state);
  }
  if (g_main_types.panic == nullptr) {
    if (!make_types(module, state)) {
      return false;
    }
    // Kept only once complete, so that a failed first import leaves nothing behind for the next one.
    share_types(state, g_main_types);
    return true;
  }
  share_types(g_main_types, state);
  return true;
}

int module_exec(PyObject* module) noexcept {
  if (!PyModule_Check(module)) {
    raise_downcast_error(module, "module");
    return -1;
  }
  ModuleState& state = *module_state(module);
  if (!set_up_types(module, state)) {
    return -1;
  }
  // The classes are made: their module's state is the one raising helpers find from here on.
  const CallingModule calling(reinterpret_cast<PyTypeObject*>(state.classes[0]));
  for (const ClassEntry& entry : kClasses) {
    if (!add_class(module, entry.name, reinterpret_cast<PyTypeObject*>(state.classes[entry.slot]))) {
      return -1;
    }
  }
  return 0;
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(module_exec)},
    {0, nullptr},
};

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT, "brenlox_copt",         "", sizeof(ModuleState), nullptr, module_slots, traverse_module_state,
    clear_module_state,    free_module_state,
};

}  // namespace
}  // namespace brenlox_copt::python

PyMODINIT_FUNC PyInit_brenlox_copt() { return PyModuleDef_Init(&brenlox_copt::python::module_definition); }
