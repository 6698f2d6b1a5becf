// type_name.cpp: recognising a type by its module and name, or as the very object its module holds.
#include "python/type_name.hpp"

#include "python/ref.hpp"

namespace brenlox_copt::python {

bool type_is_named(PyTypeObject* type, const char* module, const char* name) noexcept {
  const Ref module_name = Ref::steal(PyObject_GetAttrString(reinterpret_cast<PyObject*>(type), "__module__"));
  if (!module_name || !PyUnicode_Check(module_name.get()) ||
      PyUnicode_CompareWithASCIIString(module_name.get(), module) != 0) {
    PyErr_Clear();
    return false;
  }
  const Ref type_name = Ref::steal(PyType_GetName(type));
  if (!type_name) {
    PyErr_Clear();
    return false;
  }
  return PyUnicode_CompareWithASCIIString(type_name.get(), name) == 0;
}

bool is_imported_type(PyTypeObject* type, const char* module, const char* name) noexcept {
  // The names first: they rule out nearly every other type without a look into sys.modules.
  if (!type_is_named(type, module, name)) {
    return false;
  }
  const Ref module_name = Ref::steal(PyUnicode_FromString(module));
  const Ref imported = module_name ? Ref::steal(PyImport_GetModule(module_name.get())) : Ref{};
  const Ref held = imported ? Ref::steal(PyObject_GetAttrString(imported.get(), name)) : Ref{};
  PyErr_Clear();
  return held.get() == reinterpret_cast<PyObject*>(type);
}

}  // namespace brenlox_copt::python
