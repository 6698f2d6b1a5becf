// call.hpp: the call sequence every constructor and method of the module runs, in order: bind the arguments, check
// the thread, take the borrow, convert the arguments, run the body, build the result; borrows and references are
// given back on every path, and C++ exceptions become Python ones (MemoryError for allocation failures). The whole
// call runs with the state of the module that made the class (CallingModule): the class a method was defined in
// (METH_METHOD), the type a constructor makes, or, for a method without parameters, the object's own type, which is
// that class because the module's classes cannot be subclassed.
//
// A method is a parameter table plus a body that receives the object's content and one native value per parameter
// (see kinds.hpp and sequence.hpp for the kinds and their values):
//
//   constexpr auto kAddConstraint = signature("Model.add_constraint()",
//       param<SequenceOf<UnsignedInt>>("vars"), param<SequenceOf<Number>>("coeffs"), param<Number>("constant"),
//       param<Character>("sense"), param<Number>("rhs"), param<Optional<Text>>("name"));
//
//   PyObject* Model_add_constraint(PyObject* self, PyTypeObject* defining_class, PyObject* const* args,
//                                  std::size_t nargs, PyObject* kwnames) {
//     return call_method<ModelClass, BorrowKind::Exclusive>(self, defining_class, args, nargs, kwnames,
//         kAddConstraint,
//         [](ModelContent& model, std::vector<std::uint64_t> vars, std::vector<double> coeffs, double constant,
//            char32_t sense, double rhs, std::optional<Utf8Text> name) -> PyObject* { ... });
//   }
//
// Register it with METH_METHOD | METH_FASTCALL | METH_KEYWORDS through `keywords_method`; a method without parameters
// uses the short form of call_method and METH_NOARGS. A shared borrow hands the body a const content. A constructor
// is the type's tp_new and uses call_constructor; its body builds the content and returns
// new_instance<Class>(type, ...). Bodies report failures by returning nullptr with a Python error set
// (raise_backend_error and friends).
#pragma once

#include <Python.h>

#include <array>
#include <cstddef>
#include <tuple>
#include <utility>

#include "python/args.hpp"
#include "python/errors.hpp"
#include "python/guard.hpp"
#include "python/instance.hpp"
#include "python/kinds.hpp"
#include "python/module_state.hpp"
#include "python/ref.hpp"
#include "python/sequence.hpp"

namespace brenlox_copt::python {

namespace detail {

template <BorrowKind kBorrow, class Content>
auto& content_for(Content& content) noexcept {
  if constexpr (kBorrow == BorrowKind::Shared) {
    return std::as_const(content);
  } else {
    return content;
  }
}

/// The thread check, then the borrow; an empty Borrow (error set) when either fails.
template <BoundClass Class>
Borrow enter(Instance<Class>& instance, BorrowKind kind) noexcept {
  if (!instance.thread.check(Class::kTypePath)) {
    return {};
  }
  return Borrow::acquire(instance.borrow, kind);
}

/// Runs `run` as a call of the module that made `type`, turning C++ exceptions into Python ones.
template <class Run>
PyObject* run_in_module(PyTypeObject* type, Run&& run) noexcept {
  const CallingModule calling(type);
  try {
    return run();
  } catch (...) {
    return raise_current_cpp_exception();
  }
}

}  // namespace detail

/// A method with parameters (METH_METHOD | METH_FASTCALL | METH_KEYWORDS).
template <BoundClass Class, BorrowKind kBorrow, class... Kinds, class Body>
PyObject* call_method(PyObject* self, PyTypeObject* defining_class, PyObject* const* args, std::size_t nargs,
                      PyObject* kwnames, const Signature<Kinds...>& signature, Body&& body) noexcept {
  return detail::run_in_module(defining_class, [&]() -> PyObject* {
    std::array<Ref, sizeof...(Kinds)> bound;
    if (!bind_arguments(signature.rule(), args, static_cast<Py_ssize_t>(nargs), kwnames, bound)) {
      return nullptr;
    }
    auto& instance = instance_of<Class>(self);
    const Borrow borrow = detail::enter(instance, kBorrow);
    if (!borrow) {
      return nullptr;
    }
    std::tuple<typename Kinds::Value...> values;
    if (!convert_arguments(signature, bound, values)) {
      return nullptr;
    }
    return std::apply(
        [&](auto&... value) { return body(detail::content_for<kBorrow>(instance.content), std::move(value)...); },
        values);
  });
}

/// A method without parameters (METH_NOARGS: the interpreter refuses arguments itself).
template <BoundClass Class, BorrowKind kBorrow, class Body>
PyObject* call_method(PyObject* self, Body&& body) noexcept {
  return detail::run_in_module(Py_TYPE(self), [&]() -> PyObject* {
    auto& instance = instance_of<Class>(self);
    const Borrow borrow = detail::enter(instance, kBorrow);
    if (!borrow) {
      return nullptr;
    }
    return body(detail::content_for<kBorrow>(instance.content));
  });
}

/// A constructor (tp_new) of `type`. Objects of the module's classes among the arguments are borrowed by their kind
/// (InstanceOf), until the body returns.
template <class... Kinds, class Body>
PyObject* call_constructor(PyTypeObject* type, PyObject* args, PyObject* kwargs, const Signature<Kinds...>& signature,
                           Body&& body) noexcept {
  return detail::run_in_module(type, [&]() -> PyObject* {
    std::array<Ref, sizeof...(Kinds)> bound;
    if (!bind_arguments(signature.rule(), args, kwargs, bound)) {
      return nullptr;
    }
    std::tuple<typename Kinds::Value...> values;
    if (!convert_arguments(signature, bound, values)) {
      return nullptr;
    }
    return std::apply([&](auto&... value) { return body(std::move(value)...); }, values);
  });
}

/// A method-table row for a method with parameters.
[[nodiscard]] inline PyMethodDef keywords_method(const char* name, PyCMethod function, const char* doc) noexcept {
  return {name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function)),
          METH_METHOD | METH_FASTCALL | METH_KEYWORDS, doc};
}

/// A method-table row for a method without parameters.
[[nodiscard]] inline PyMethodDef no_arguments_method(const char* name, PyCFunction function, const char* doc) noexcept {
  return {name, function, METH_NOARGS, doc};
}

}  // namespace brenlox_copt::python
