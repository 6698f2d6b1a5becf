// model_values.cpp: sense characters, attribute names, length checks and the Python form of ids and values.
#include "python/model_values.hpp"

#include <climits>

#include "python/errors.hpp"
#include "python/ref.hpp"

namespace brenlox_copt::python {

bool require_length(const char* label, std::size_t actual, std::size_t expected) noexcept {
  if (actual == expected) {
    return true;
  }
  raise_formatted(PyExc_ValueError, "%s has length %zu, expected %zu", label, actual, expected);
  return false;
}

void raise_invalid_sense(char32_t sense) noexcept {
  // The character came out of a str, so it is a code point the message can hold.
  raise_formatted(PyExc_ValueError, "invalid sense character: %c", static_cast<int>(sense));
}

backend::OptimizerAttribute optimizer_attribute(const Utf8Text& name) noexcept {
  if (name.view() == "Silent") {
    return {backend::OptimizerAttribute::Silent{}};
  }
  if (name.view() == "TimeLimit") {
    return {backend::OptimizerAttribute::TimeLimit{}};
  }
  return {backend::OptimizerAttribute::Raw{name.terminated()}};
}

PyObject* id_list(backend::IdRange ids) noexcept {
  Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(ids.count)));
  if (!list) {
    return nullptr;
  }
  for (std::uint64_t i = 0; i < ids.count; ++i) {
    const std::uint64_t value = ids.first + i;
    // PyLong_FromLong has the interpreter's fast path for values below 2**30; ids past a long take the unsigned one.
    PyObject* id = value <= static_cast<std::uint64_t>(LONG_MAX) ? PyLong_FromLong(static_cast<long>(value))
                                                                : PyLong_FromUnsignedLongLong(value);
    if (id == nullptr) {
      return nullptr;
    }
    // Steals the new reference, also when it fails.
    if (PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), id) != 0) {
      return nullptr;
    }
  }
  return list.release();
}

PyObject* first_id(backend::IdRange ids) noexcept { return PyLong_FromUnsignedLongLong(ids.first); }

PyObject* float_or_none(std::optional<double> value) noexcept {
  if (!value) {
    Py_RETURN_NONE;
  }
  return PyFloat_FromDouble(*value);
}

}  // namespace brenlox_copt::python
