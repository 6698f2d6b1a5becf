// attribute_value.cpp: the bool / 64-bit integer / float rule of optimizer attribute values.
#include "python/attribute_value.hpp"

#include "python/ref.hpp"

namespace brenlox_copt::python {
namespace {

/// A NumPy boolean scalar, recognised by name so that NumPy need not be imported.
bool is_numpy_bool(PyObject* object) noexcept {
  auto* type = reinterpret_cast<PyObject*>(Py_TYPE(object));
  const Ref module = Ref::steal(PyObject_GetAttrString(type, "__module__"));
  if (!module || !PyUnicode_Check(module.get()) || PyUnicode_CompareWithASCIIString(module.get(), "numpy") != 0) {
    PyErr_Clear();
    return false;
  }
  const Ref name = Ref::steal(PyType_GetName(Py_TYPE(object)));
  if (!name) {
    PyErr_Clear();
    return false;
  }
  return PyUnicode_CompareWithASCIIString(name.get(), "bool_") == 0 ||
         PyUnicode_CompareWithASCIIString(name.get(), "bool") == 0;
}

}  // namespace

bool AttributeValueArg::convert(PyObject* object, Value& out) noexcept {
  if (PyBool_Check(object)) {
    out = object == Py_True;
    return true;
  }
  // The error of each failed try is dropped: only the final TypeError is reported.
  if (!PyLong_CheckExact(object) && !PyFloat_CheckExact(object) && is_numpy_bool(object)) {
    const int truth = PyObject_IsTrue(object);
    if (truth >= 0) {
      out = truth == 1;
      return true;
    }
    PyErr_Clear();
  }
  const long long integer = PyLong_AsLongLong(object);
  if (integer != -1 || PyErr_Occurred() == nullptr) {
    out = static_cast<std::int64_t>(integer);
    return true;
  }
  PyErr_Clear();
  const double number = PyFloat_AsDouble(object);
  if (number != -1.0 || PyErr_Occurred() == nullptr) {
    out = number;
    return true;
  }
  PyErr_Clear();
  PyErr_SetString(PyExc_TypeError, "COPT parameter value must be bool, int, or float");
  return false;
}

}  // namespace brenlox_copt::python
