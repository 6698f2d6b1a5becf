// module_state.cpp: reaching a module object's state from its classes and from a running call, and its collection.
#include "python/module_state.hpp"

namespace brenlox_copt::python {
PyObject* type_from_module(PyObject* module, PyType_Spec& spec) noexcept {
  PyObject* type = PyType_FromModuleAndSpec(module, &spec, nullptr);
  if (type == nullptr && PyErr_Occurred() == nullptr) {
    PyErr_NoMemory();
  }
  return type;
}

int traverse_module_state(PyObject* module, visitproc visit, void* arg) noexcept {
  const ModuleState* state = module_state(module);
  if (state == nullptr) {
    return 0;
  }
  for (PyObject* type : state->classes) {
    Py_VISIT(type);
  }
  Py_VISIT(state->panic);
  Py_VISIT(state->numpy_array);
  Py_VISIT(state->array_array);
  return 0;
}

int clear_module_state(PyObject* module) noexcept {
  ModuleState* state = module_state(module);
  if (state == nullptr) {
    return 0;
  }
  for (PyObject*& type : state->classes) {
    Py_CLEAR(type);
  }
  Py_CLEAR(state->panic);
  Py_CLEAR(state->numpy_array);
  Py_CLEAR(state->array_array);
  return 0;
}

void free_module_state(void* module) noexcept { (void)clear_module_state(static_cast<PyObject*>(module)); }

PyTypeObject* calling_class(std::size_t slot) noexcept {
  const ModuleState* state = CallingModule::state();
  PyObject* type = state == nullptr ? nullptr : state->classes[slot];
  if (type == nullptr && PyErr_Occurred() == nullptr) {
    // Only the garbage collector's clearing of a module object that some object still reaches leaves this.
    PyErr_SetString(PyExc_RuntimeError, "brenlox_copt's module state has been cleared");
  }
  return reinterpret_cast<PyTypeObject*>(type);
}

}  // namespace brenlox_copt::python
