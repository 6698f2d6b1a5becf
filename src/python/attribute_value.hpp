// attribute_value.hpp: the value kinds of set_optimizer_attr (a bool, a signed 64-bit integer or a double, tried in
// that order) and of EnvrConfig.set (a str, or one of those three written as text).
#pragma once

#include <Python.h>

#include <cstdint>
#include <string>
#include <variant>

namespace brenlox_copt::python {

/// The first of these that converts wins: a bool (Python's, or a NumPy boolean scalar read through __bool__), an
/// integer within the signed 64-bit range (__index__ included), anything PyFloat_AsDouble accepts. Otherwise
/// TypeError "COPT parameter value must be bool, int, or float", without the argument note. A try that fails with
/// anything but TypeError or OverflowError (a KeyboardInterrupt in __index__, say) fails the conversion with that.
struct AttributeValueArg {
  using Value = std::variant<bool, std::int64_t, double>;
  static constexpr bool kNoted = false;
  static bool convert(PyObject* object, Value& out) noexcept;
};

/// A client configuration value as the text the library takes: a str unchanged, else the value of the attribute
/// rule written out ("1"/"0" for bools, decimal integers, shortest round-trip decimals). A str that cannot be encoded:
/// the interpreter's UnicodeEncodeError. Otherwise TypeError "COPT environment configuration value must be str, bool,
/// int, or float". Neither gets the argument note.
struct ConfigValueArg {
  using Value = std::string;
  static constexpr bool kNoted = false;
  static bool convert(PyObject* object, Value& out);
};

}  // namespace brenlox_copt::python
