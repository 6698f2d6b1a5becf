// errors.hpp: the raising helpers of the Python layer. Each raise_ helper sets the Python error and returns nullptr,
// so call sites read `return raise_...(...);`; the note and unraisable helpers work on the pending error in place.
#pragma once

#include <Python.h>

#include <cstddef>

#include "backend/error.hpp"

namespace brenlox_copt::python {

/// The pending exception, taken out of the interpreter (normalized, its traceback attached) and owned until it is
/// handed back with `restore`; dropped otherwise. Lets a helper run Python calls, or raise another exception, first.
class FetchedError {
 public:
  FetchedError() noexcept;
  FetchedError(const FetchedError&) = delete;
  FetchedError& operator=(const FetchedError&) = delete;
  ~FetchedError();

  /// The exception object, or null when none was pending.
  [[nodiscard]] PyObject* value() const noexcept { return m_value; }
  /// Takes over the exception object (a new reference), leaving nothing to restore.
  [[nodiscard]] PyObject* take_value() noexcept;
  void restore() noexcept;

 private:
  PyObject* m_type = nullptr;
  PyObject* m_value = nullptr;
  PyObject* m_traceback = nullptr;
};

/// A new internal-failure exception type, type name "pyo3_runtime.PanicException", derived directly from
/// BaseException so that `except Exception` does not swallow it; each module object's state keeps one. Null with the
/// error set when it cannot be created.
[[nodiscard]] PyObject* new_panic_exception_type() noexcept;

/// Raises the running call's module's internal-failure exception; `format` and the arguments are those of
/// PyUnicode_FromFormat.
std::nullptr_t raise_panic(const char* format, ...) noexcept;

/// Raises `type` with a message made by PyUnicode_FromFormat. Unlike PyErr_Format, a message that cannot be allocated
/// leaves its MemoryError pending (CPython 3.11.2's PyErr_Format raises `type` with an empty message instead).
std::nullptr_t raise_formatted(PyObject* type, const char* format, ...) noexcept;

std::nullptr_t raise_runtime_error(const char* message) noexcept;

/// The one place where a BackendError reaches Python: RuntimeError with the error's display text.
std::nullptr_t raise_backend_error(backend::BackendError error);

/// "'{type}' object is not an instance of '{target}'" ("'None' is not an instance of '{target}'" for None), with
/// "<failed to extract type name>" standing in for a type that has no __qualname__ or one that is no str. Any other
/// failure to read it (an interrupt, SystemExit, MemoryError) is raised instead.
std::nullptr_t raise_downcast_error(PyObject* object, const char* target) noexcept;

/// Turns the C++ exception being handled into a Python one: MemoryError for allocation failures, the internal-failure
/// exception for anything else. Only valid inside a catch block.
std::nullptr_t raise_current_cpp_exception() noexcept;

/// Adds the note "while processing '{parameter}'" to the pending exception through its add_note. Internal failures
/// get no note, and an exception without a usable add_note is raised as it is; an interrupt, SystemExit or
/// MemoryError raised by add_note is raised instead, with the exception as its context.
void add_argument_note(const char* parameter) noexcept;

/// Reports a RuntimeError through the interpreter's unraisable hook (message as for PyUnicode_FromFormat); an
/// exception that was pending before stays pending.
void report_unraisable(const char* format, ...) noexcept;

}  // namespace brenlox_copt::python
