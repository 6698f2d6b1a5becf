// args.hpp: parameter tables, the binding of Python arguments to them, and the conversion of the bound arguments
// in parameter order with the argument note.
#pragma once

#include <Python.h>

#include <array>
#include <cstddef>
#include <span>
#include <tuple>
#include <utility>

#include "python/errors.hpp"
#include "python/kinds.hpp"
#include "python/ref.hpp"

namespace brenlox_copt::python {

/// One parameter: its name, and whether it must be given (every parameter may be given by position or keyword).
struct Parameter {
  const char* name;
  bool required;
};

/// What binding needs: the callable's full name that starts every message ("Model.add_variables()",
/// "Model.__new__()") and its parameters in order.
struct BindingRule {
  const char* full_name;
  std::span<const Parameter> parameters;
};

/// A callable's parameter table; built with `signature(...)` from `param<Kind>("name")` rows.
template <class... Kinds>
struct Signature {
  const char* full_name;
  std::array<Parameter, sizeof...(Kinds)> parameters;

  [[nodiscard]] BindingRule rule() const noexcept { return {full_name, parameters}; }
};

template <class Kind>
struct Param {
  const char* name;
};

template <class Kind>
[[nodiscard]] constexpr Param<Kind> param(const char* name) noexcept {
  return {name};
}

/// A parameter is optional exactly when its kind is Optional<K>.
template <class... Kinds>
[[nodiscard]] constexpr Signature<Kinds...> signature(const char* full_name, Param<Kinds>... rows) noexcept {
  return {full_name, {Parameter{rows.name, !is_optional_v<Kinds>}...}};
}

/// Binds positional arguments (a tuple) and keyword arguments (a dict, or null), as a constructor receives them, to
/// `slots`, one per parameter, left empty for parameters not given. On failure returns false with the binding
/// TypeError raised: too many positional arguments, a keyword that is no str, an unexpected keyword, multiple values
/// for one parameter, or missing required parameters.
[[nodiscard]] bool bind_arguments(const BindingRule& rule, PyObject* args, PyObject* kwargs, std::span<Ref> slots);

/// The same for arguments as a METH_FASTCALL | METH_KEYWORDS method receives them: `given` positional arguments at
/// `args`, followed by the values of the keywords named in `kwnames` (a tuple of str, or null), with the same errors.
[[nodiscard]] bool bind_arguments(const BindingRule& rule, PyObject* const* args, Py_ssize_t given, PyObject* kwnames,
                                  std::span<Ref> slots);

namespace detail {

template <class Kind>
bool convert_one(PyObject* object, const char* parameter, typename Kind::Value& out) {
  if (Kind::convert(object, out)) {
    return true;
  }
  if constexpr (is_noted<Kind>()) {
    add_argument_note(parameter);
  }
  return false;
}

template <class... Kinds, std::size_t... Index>
bool convert_each([[maybe_unused]] const Signature<Kinds...>& signature, [[maybe_unused]] std::span<const Ref> bound,
                  [[maybe_unused]] std::tuple<typename Kinds::Value...>& values, std::index_sequence<Index...>) {
  // The fold runs left to right and stops at the first failure, so later arguments are not converted.
  return (convert_one<Kinds>(bound[Index].get(), signature.parameters[Index].name, std::get<Index>(values)) && ...);
}

}  // namespace detail

/// Converts the bound arguments in parameter order; the first failure gets the note "while processing '{name}'"
/// (unless its kind says otherwise) and ends the conversion.
template <class... Kinds>
[[nodiscard]] bool convert_arguments(const Signature<Kinds...>& signature, std::span<const Ref> bound,
                                     std::tuple<typename Kinds::Value...>& values) {
  return detail::convert_each(signature, bound, values, std::index_sequence_for<Kinds...>{});
}

}  // namespace brenlox_copt::python
