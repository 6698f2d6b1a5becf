// type_name.cpp: reading a type's names, and recognising a type by its module and name, or as the very object its
// module holds.
#include "python/type_name.hpp"

#include <utility>

namespace brenlox_copt::python {
namespace {

/// After a failed attribute read: true, with the error cleared, when it only says there is no such attribute.
bool absent_attribute() noexcept {
  if (PyErr_ExceptionMatches(PyExc_AttributeError) == 0) {
    return false;
  }
  PyErr_Clear();
  return true;
}

}  // namespace

Ref type_text_attribute(PyTypeObject* type, const char* name) noexcept {
  Ref value = Ref::steal(PyObject_GetAttrString(reinterpret_cast<PyObject*>(type), name));
  if (!value) {
    (void)absent_attribute();
    return {};
  }
  return PyUnicode_Check(value.get()) ? std::move(value) : Ref{};
}

std::optional<bool> type_is_named(PyTypeObject* type, const char* module, const char* name) noexcept {
  const Ref module_name = type_text_attribute(type, "__module__");
  if (!module_name) {
    return PyErr_Occurred() == nullptr ? std::optional<bool>(false) : std::nullopt;
  }
  if (PyUnicode_CompareWithASCIIString(module_name.get(), module) != 0) {
    return false;
  }
  const Ref type_name = Ref::steal(PyType_GetName(type));
  if (!type_name) {
    return std::nullopt;
  }
  return PyUnicode_CompareWithASCIIString(type_name.get(), name) == 0;
}

std::optional<bool> is_imported_type(PyTypeObject* type, const char* module, const char* name) noexcept {
  // The names first: they rule out nearly every other type without a look into sys.modules.
  const std::optional<bool> named = type_is_named(type, module, name);
  if (!named || !*named) {
    return named;
  }
  const Ref module_name = Ref::steal(PyUnicode_FromString(module));
  if (!module_name) {
    return std::nullopt;
  }
  const Ref imported = Ref::steal(PyImport_GetModule(module_name.get()));
  if (!imported) {
    return PyErr_Occurred() == nullptr ? std::optional<bool>(false) : std::nullopt;
  }
  const Ref held = Ref::steal(PyObject_GetAttrString(imported.get(), name));
  if (!held) {
    return absent_attribute() ? std::optional<bool>(false) : std::nullopt;
  }
  return held.get() == reinterpret_cast<PyObject*>(type);
}

}  // namespace brenlox_copt::python
