// attribute_value.hpp: the conversion kind of set_optimizer_attr's value: a bool, a signed 64-bit integer or a
// double, tried in that order.
#pragma once

#include <Python.h>

#include <cstdint>
#include <variant>

namespace brenlox_copt::python {

/// The first of these that converts wins: a bool (Python's, or a NumPy boolean scalar read through __bool__), an
/// integer within the signed 64-bit range (__index__ included), anything PyFloat_AsDouble accepts. Otherwise
/// TypeError "COPT parameter value must be bool, int, or float", without the argument note.
struct AttributeValueArg {
  using Value = std::variant<bool, std::int64_t, double>;
  static constexpr bool kNoted = false;
  static bool convert(PyObject* object, Value& out) noexcept;
};

}  // namespace brenlox_copt::python
