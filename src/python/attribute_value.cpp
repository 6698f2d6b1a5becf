// attribute_value.cpp: the bool / 64-bit integer / float rule of optimizer attribute values, and the text form of
// client configuration values built on it.
#include "python/attribute_value.hpp"

#include <optional>

#include "backend/number_text.hpp"
#include "python/kinds.hpp"
#include "python/type_name.hpp"

namespace brenlox_copt::python {
namespace {

/// A NumPy boolean scalar, recognised by name so that NumPy need not be imported; nullopt with the error set when
/// reading the type's names fails.
std::optional<bool> is_numpy_bool(PyObject* object) noexcept {
  const std::optional<bool> named = type_is_named(Py_TYPE(object), "numpy", "bool_");
  if (!named || *named) {
    return named;
  }
  return type_is_named(Py_TYPE(object), "numpy", "bool");
}

/// After a failed try: whether its error only says that the try does not apply (TypeError) or that the value is out
/// of its range (OverflowError), and is then cleared. Any other error, such as a KeyboardInterrupt raised in
/// __index__, is left set.
bool try_passed_over() noexcept {
  if (PyErr_ExceptionMatches(PyExc_TypeError) == 0 && PyErr_ExceptionMatches(PyExc_OverflowError) == 0) {
    return false;
  }
  PyErr_Clear();
  return true;
}

/// The attribute rule: `out` is the first try that converts, or nullopt (no error set) when none does. False, with
/// the error set, when a try fails with an error other than a refusal.
bool read_scalar(PyObject* object, std::optional<AttributeValueArg::Value>& out) noexcept {
  out.reset();
  if (PyBool_Check(object)) {
    out = object == Py_True;
    return true;
  }
  // A refusal ends only its own try: the caller reports its own TypeError when every try is refused.
  const std::optional<bool> numpy_bool =
      PyLong_CheckExact(object) || PyFloat_CheckExact(object) ? std::optional<bool>(false) : is_numpy_bool(object);
  if (!numpy_bool) {
    return false;
  }
  if (*numpy_bool) {
    const int truth = PyObject_IsTrue(object);
    if (truth >= 0) {
      out = truth == 1;
      return true;
    }
    if (!try_passed_over()) {
      return false;
    }
  }
  const long long integer = PyLong_AsLongLong(object);
  if (integer != -1 || PyErr_Occurred() == nullptr) {
    out = static_cast<std::int64_t>(integer);
    return true;
  }
  if (!try_passed_over()) {
    return false;
  }
  const double number = PyFloat_AsDouble(object);
  if (number != -1.0 || PyErr_Occurred() == nullptr) {
    out = number;
    return true;
  }
  return try_passed_over();
}

struct ScalarText {
  std::string operator()(bool value) const { return value ? "1" : "0"; }
  std::string operator()(std::int64_t value) const { return std::to_string(value); }
  std::string operator()(double value) const { return backend::format_number(value); }
};

}  // namespace

bool AttributeValueArg::convert(PyObject* object, Value& out) noexcept {
  std::optional<Value> value;
  if (!read_scalar(object, value)) {
    return false;
  }
  if (value) {
    out = *value;
    return true;
  }
  PyErr_SetString(PyExc_TypeError, "COPT parameter value must be bool, int, or float");
  return false;
}

bool ConfigValueArg::convert(PyObject* object, Value& out) {
  if (PyUnicode_Check(object)) {
    // Read as every text argument is, so that a str that cannot be encoded gets the same encoding error.
    Utf8Text text;
    if (!Text::convert(object, text)) {
      return false;
    }
    out.assign(text.view());
    return true;
  }
  std::optional<AttributeValueArg::Value> value;
  if (!read_scalar(object, value)) {
    return false;
  }
  if (value) {
    out = std::visit(ScalarText{}, *value);
    return true;
  }
  PyErr_SetString(PyExc_TypeError, "COPT environment configuration value must be str, bool, int, or float");
  return false;
}

}  // namespace brenlox_copt::python
