// kinds.hpp: the conversion kinds of single arguments: integers, numbers, text, characters, optional values, any
// object, and objects of the module's own classes. Sequences are in sequence.hpp.
//
// A kind is a type with `using Value` (the native value the callable receives) and
// `static bool convert(PyObject* object, Value& out)`, which returns false with a Python error set. Optional kinds
// also accept a null object (the argument was left out). A kind whose failures get no argument note declares
// `static constexpr bool kNoted = false`; a kind whose conversion of some objects surely runs no Python code says
// which with `static bool is_plain(PyObject*)` (sequence.hpp reads such items faster).
#pragma once

#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "backend/text.hpp"
#include "python/errors.hpp"
#include "python/guard.hpp"
#include "python/instance.hpp"
#include "python/module_state.hpp"
#include "python/ref.hpp"

namespace brenlox_copt::python {

/// Unsigned 64-bit: an int (bool included) or any object with __index__. The interpreter's TypeError for
/// non-integers, its OverflowError for negative values and values from 2**64 up.
struct UnsignedInt {
  using Value = std::uint64_t;
  static bool convert(PyObject* object, Value& out) noexcept {
    // An exact int needs no __index__ call; this is the hot path of id lists.
    if (PyLong_CheckExact(object)) {
      out = PyLong_AsUnsignedLongLong(object);
      return out != static_cast<Value>(-1) || PyErr_Occurred() == nullptr;
    }
    return convert_index(object, out);
  }
  static bool convert_index(PyObject* object, Value& out) noexcept;
  static bool is_plain(PyObject* object) noexcept { return PyLong_CheckExact(object); }
};

/// Signed 32-bit: as UnsignedInt, with OverflowError outside -2147483648..2147483647.
struct Int32 {
  using Value = std::int32_t;
  static bool convert(PyObject* object, Value& out) noexcept;
  static bool is_plain(PyObject* object) noexcept { return PyLong_CheckExact(object); }
};

/// A double: anything PyFloat_AsDouble accepts (float, int, objects with __float__ or __index__).
struct Number {
  using Value = double;
  static bool convert(PyObject* object, Value& out) noexcept {
    out = PyFloat_AsDouble(object);
    return out != -1.0 || PyErr_Occurred() == nullptr;
  }
  static bool is_plain(PyObject* object) noexcept { return PyFloat_CheckExact(object) || PyLong_CheckExact(object); }
};

/// The UTF-8 bytes of a str argument, read in place: the str is kept alive so that its cached UTF-8, which the
/// interpreter always follows with a NUL, stays valid as long as this value.
class Utf8Text {
 public:
  Utf8Text() noexcept = default;
  Utf8Text(Ref owner, const char* data, std::size_t size) noexcept
      : m_owner(std::move(owner)), m_data(data), m_size(size) {}

  [[nodiscard]] std::string_view view() const noexcept { return {m_data, m_size}; }
  /// The same bytes as the backend takes them; valid while this value lives.
  [[nodiscard]] backend::TerminatedText terminated() const noexcept {
    return backend::TerminatedText::assume_terminated(m_data, m_size);
  }

 private:
  friend class TextList;
  Ref m_owner;
  const char* m_data = "";
  std::size_t m_size = 0;
};

/// Text: a str or str subclass. Other objects: the downcast TypeError with target 'str'; a str that cannot be
/// encoded (lone surrogates): the interpreter's UnicodeEncodeError.
struct Text {
  using Value = Utf8Text;
  static bool convert(PyObject* object, Value& out) noexcept;
  static bool is_plain(PyObject* object) noexcept { return PyUnicode_CheckExact(object); }
};

/// One code point: a str of exactly one character. Other objects: the downcast TypeError with target 'str'; a str
/// of another length: ValueError "expected a string of length 1".
struct Character {
  using Value = char32_t;
  static bool convert(PyObject* object, Value& out) noexcept;
  static bool is_plain(PyObject* object) noexcept { return PyUnicode_CheckExact(object); }
};

/// Whether a failure of Kind gets the argument note.
template <class Kind>
[[nodiscard]] consteval bool is_noted() {
  if constexpr (requires { Kind::kNoted; }) {
    return Kind::kNoted;
  } else {
    return true;
  }
}

/// None, or the argument left out, is absent; anything else is converted by Kind.
template <class Kind>
struct Optional {
  using Value = std::optional<typename Kind::Value>;
  static constexpr bool kNoted = is_noted<Kind>();
  static bool convert(PyObject* object, Value& out) {
    if (object == nullptr || object == Py_None) {
      out.reset();
      return true;
    }
    return Kind::convert(object, out.emplace());
  }
};

template <class Kind>
inline constexpr bool is_optional_v = false;
template <class Kind>
inline constexpr bool is_optional_v<Optional<Kind>> = true;

/// A shared borrow of an object of the module's class C passed as an argument, with a reference that keeps the
/// object alive; both are given back when this value is destroyed.
template <BoundClass Class>
class SharedInstance {
 public:
  SharedInstance() noexcept = default;
  SharedInstance(Ref object, Borrow borrow) noexcept : m_object(std::move(object)), m_borrow(std::move(borrow)) {}

  [[nodiscard]] const typename Class::Content& content() const noexcept {
    return instance_of<Class>(m_object.get()).content;
  }

 private:
  // Declared in this order so that the borrow is given back before the reference.
  Ref m_object;
  Borrow m_borrow;
};

/// An object of the module's class C: the downcast TypeError with target C for other objects, then the thread check,
/// then a shared borrow ("Already mutably borrowed" while the object is borrowed exclusively).
template <BoundClass Class>
struct InstanceOf {
  using Value = SharedInstance<Class>;
  static bool convert(PyObject* object, Value& out) noexcept {
    // The class of the module whose method runs: an object of another module object's class (another interpreter's,
    // or one from before a re-import in a sub-interpreter) is refused as any other object is.
    PyTypeObject* type = calling_class(Class::kStateSlot);
    if (type == nullptr) {
      return false;
    }
    if (!PyObject_TypeCheck(object, type)) {
      raise_downcast_error(object, Class::kName);
      return false;
    }
    auto& instance = instance_of<Class>(object);
    if (!instance.thread.check(Class::kTypePath)) {
      return false;
    }
    Borrow borrow = Borrow::acquire(instance.borrow, BorrowKind::Shared);
    if (!borrow) {
      return false;
    }
    out = Value(Ref::new_reference(object), std::move(borrow));
    return true;
  }
};

}  // namespace brenlox_copt::python
