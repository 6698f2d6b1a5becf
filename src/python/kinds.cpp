// kinds.cpp: the out-of-line parts of the conversion kinds.
#include <cstdint>
#include <limits>

#include "python/kinds.hpp"

namespace brenlox_copt::python {

bool UnsignedInt::convert_index(PyObject* object, Value& out) noexcept {
  const Ref index = Ref::steal(PyNumber_Index(object));
  if (!index) {
    return false;
  }
  out = PyLong_AsUnsignedLongLong(index.get());
  return out != static_cast<Value>(-1) || PyErr_Occurred() == nullptr;
}

bool Int32::convert(PyObject* object, Value& out) noexcept {
  const Ref index = Ref::steal(PyNumber_Index(object));
  if (!index) {
    return false;
  }
  const long long value = PyLong_AsLongLong(index.get());
  if (value == -1 && PyErr_Occurred() != nullptr) {
    return false;
  }
  if (value > std::numeric_limits<Value>::max()) {
    PyErr_SetString(PyExc_OverflowError, "signed integer is greater than maximum");
    return false;
  }
  if (value < std::numeric_limits<Value>::min()) {
    PyErr_SetString(PyExc_OverflowError, "signed integer is less than minimum");
    return false;
  }
  out = static_cast<Value>(value);
  return true;
}

bool Text::convert(PyObject* object, Value& out) noexcept {
  if (!PyUnicode_Check(object)) {
    raise_downcast_error(object, "str");
    return false;
  }
  Py_ssize_t size = 0;
  // The UTF-8 form is cached in the str itself, so this copies nothing; the Ref keeps it valid.
  const char* data = PyUnicode_AsUTF8AndSize(object, &size);
  if (data == nullptr) {
    return false;
  }
  out = Utf8Text(Ref::new_reference(object), data, static_cast<std::size_t>(size));
  return true;
}

bool Character::convert(PyObject* object, Value& out) noexcept {
  if (!PyUnicode_Check(object)) {
    raise_downcast_error(object, "str");
    return false;
  }
  const Py_ssize_t length = PyUnicode_GetLength(object);
  if (length < 0) {
    return false;
  }
  if (length != 1) {
    PyErr_SetString(PyExc_ValueError, "expected a string of length 1");
    return false;
  }
  const Py_UCS4 code_point = PyUnicode_ReadChar(object, 0);
  if (code_point == static_cast<Py_UCS4>(-1) && PyErr_Occurred() != nullptr) {
    return false;
  }
  out = static_cast<char32_t>(code_point);
  return true;
}

}  // namespace brenlox_copt::python
