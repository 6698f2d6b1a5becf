// attribute_value.cpp: the bool / 64-bit integer / float rule of optimizer attribute values, and the text form of
// client configuration values built on it.
#include "python/attribute_value.hpp"

#include <optional>

#include "backend/number_text.hpp"
#include "python/type_name.hpp"

namespace brenlox_copt::python {
namespace {

/// A NumPy boolean scalar, recognised by name so that NumPy need not be imported.
bool is_numpy_bool(PyObject* object) noexcept {
  return type_is_named(Py_TYPE(object), "numpy", "bool_") || type_is_named(Py_TYPE(object), "numpy", "bool");
}

/// The attribute rule without its error: nullopt, with no Python error left set, when no try converts.
std::optional<AttributeValueArg::Value> read_scalar(PyObject* object) noexcept {
  if (PyBool_Check(object)) {
    return object == Py_True;
  }
  // The error of each failed try is dropped: the caller reports its own TypeError.
  if (!PyLong_CheckExact(object) && !PyFloat_CheckExact(object) && is_numpy_bool(object)) {
    const int truth = PyObject_IsTrue(object);
    if (truth >= 0) {
      return truth == 1;
    }
    PyErr_Clear();
  }
  const long long integer = PyLong_AsLongLong(object);
  if (integer != -1 || PyErr_Occurred() == nullptr) {
    return static_cast<std::int64_t>(integer);
  }
  PyErr_Clear();
  const double number = PyFloat_AsDouble(object);
  if (number != -1.0 || PyErr_Occurred() == nullptr) {
    return number;
  }
  PyErr_Clear();
  return std::nullopt;
}

struct ScalarText {
  std::string operator()(bool value) const { return value ? "1" : "0"; }
  std::string operator()(std::int64_t value) const { return std::to_string(value); }
  std::string operator()(double value) const { return backend::format_number(value); }
};

}  // namespace

bool AttributeValueArg::convert(PyObject* object, Value& out) noexcept {
  if (auto value = read_scalar(object)) {
    out = *value;
    return true;
  }
  PyErr_SetString(PyExc_TypeError, "COPT parameter value must be bool, int, or float");
  return false;
}

bool ConfigValueArg::convert(PyObject* object, Value& out) {
  if (PyUnicode_Check(object)) {
    Py_ssize_t size = 0;
    if (const char* data = PyUnicode_AsUTF8AndSize(object, &size)) {
      out.assign(data, static_cast<std::size_t>(size));
      return true;
    }
    PyErr_Clear();
  } else if (auto value = read_scalar(object)) {
    out = std::visit(ScalarText{}, *value);
    return true;
  }
  PyErr_SetString(PyExc_TypeError, "COPT environment configuration value must be str, bool, int, or float");
  return false;
}

}  // namespace brenlox_copt::python
