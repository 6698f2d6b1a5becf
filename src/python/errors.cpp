// errors.cpp: the raising helpers, the internal-failure exception and the argument note.
#include "python/errors.hpp"

#include <cstdarg>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

#include "python/module_state.hpp"
#include "python/ref.hpp"
#include "python/type_name.hpp"

namespace brenlox_copt::python {
namespace {

/// Raises `type` with the message made from `format`; a message that cannot be made leaves its own error pending.
void raise_formatted_v(PyObject* type, const char* format, va_list arguments) noexcept {
  const Ref message = Ref::steal(PyUnicode_FromFormatV(format, arguments));
  if (message) {
    PyErr_SetObject(type, message.get());
  }
}

/// Whether the pending error is one a failed add_note may pass over: an ordinary exception, not an interrupt,
/// SystemExit or MemoryError.
bool is_ordinary_error() noexcept {
  return PyErr_ExceptionMatches(PyExc_Exception) != 0 && PyErr_ExceptionMatches(PyExc_MemoryError) == 0;
}

}  // namespace

FetchedError::FetchedError() noexcept {
  PyErr_Fetch(&m_type, &m_value, &m_traceback);
  PyErr_NormalizeException(&m_type, &m_value, &m_traceback);
  if (m_value != nullptr && m_traceback != nullptr) {
    PyException_SetTraceback(m_value, m_traceback);
  }
}

FetchedError::~FetchedError() {
  Py_XDECREF(m_type);
  Py_XDECREF(m_value);
  Py_XDECREF(m_traceback);
}

PyObject* FetchedError::take_value() noexcept {
  Py_CLEAR(m_type);
  Py_CLEAR(m_traceback);
  return std::exchange(m_value, nullptr);
}

void FetchedError::restore() noexcept {
  PyErr_Restore(std::exchange(m_type, nullptr), std::exchange(m_value, nullptr), std::exchange(m_traceback, nullptr));
}

PyObject* new_panic_exception_type() noexcept {
  return PyErr_NewExceptionWithDoc("pyo3_runtime.PanicException",
                                   "An internal failure of brenlox_copt: an object used on a thread other than its "
                                   "creator's, or a broken internal invariant.",
                                   PyExc_BaseException, nullptr);
}

std::nullptr_t raise_panic(const char* format, ...) noexcept {
  const ModuleState* state = CallingModule::state();
  // Held for the call: raising runs Python code, which could clear the module's state.
  const Ref type = Ref::new_reference(state != nullptr ? state->panic : nullptr);
  if (!type) {
    PyErr_SetString(PyExc_RuntimeError, "brenlox_copt's module state has been cleared");
    return nullptr;
  }
  va_list arguments;
  va_start(arguments, format);
  raise_formatted_v(type.get(), format, arguments);
  va_end(arguments);
  return nullptr;
}

std::nullptr_t raise_formatted(PyObject* type, const char* format, ...) noexcept {
  va_list arguments;
  va_start(arguments, format);
  raise_formatted_v(type, format, arguments);
  va_end(arguments);
  return nullptr;
}

std::nullptr_t raise_runtime_error(const char* message) noexcept {
  PyErr_SetString(PyExc_RuntimeError, message);
  return nullptr;
}

std::nullptr_t raise_backend_error(backend::BackendError error) {
  const std::string text = error.display();
  // The display may carry the solver's own text, which is not guaranteed to be UTF-8.
  Ref message = Ref::steal(PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace"));
  if (message) {
    PyErr_SetObject(PyExc_RuntimeError, message.get());
  }
  return nullptr;
}

std::nullptr_t raise_downcast_error(PyObject* object, const char* target) noexcept {
  if (object == Py_None) {
    raise_formatted(PyExc_TypeError, "'None' is not an instance of '%s'", target);
    return nullptr;
  }
  const Ref name = type_text_attribute(Py_TYPE(object), "__qualname__");
  if (PyErr_Occurred() != nullptr) {
    return nullptr;
  }
  if (name) {
    raise_formatted(PyExc_TypeError, "'%U' object is not an instance of '%s'", name.get(), target);
  } else {
    raise_formatted(PyExc_TypeError, "'<failed to extract type name>' object is not an instance of '%s'", target);
  }
  return nullptr;
}

std::nullptr_t raise_current_cpp_exception() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::length_error&) {
    PyErr_NoMemory();
  } catch (const std::exception& error) {
    raise_panic("%s", error.what());
  } catch (...) {
    raise_panic("unknown C++ exception");
  }
  return nullptr;
}

void add_argument_note(const char* parameter) noexcept {
  FetchedError error;
  const ModuleState* state = CallingModule::state();
  // Without the module's state (its class cleared) the exception goes on as it is, replacing that lookup's error.
  PyObject* const panic = state != nullptr ? state->panic : nullptr;
  const bool internal = panic != nullptr && PyObject_TypeCheck(error.value(), reinterpret_cast<PyTypeObject*>(panic));
  if (error.value() != nullptr && state != nullptr && !internal) {
    const Ref note = Ref::steal(PyUnicode_FromFormat("while processing '%s'", parameter));
    const Ref added = note ? Ref::steal(PyObject_CallMethod(error.value(), "add_note", "O", note.get())) : Ref{};
    if (!added && !is_ordinary_error()) {
      // An interrupt, SystemExit or MemoryError raised meanwhile ends the call, the argument error as its context.
      FetchedError interruption;
      PyException_SetContext(interruption.value(), error.take_value());
      interruption.restore();
      return;
    }
    if (!added) {
      PyErr_Clear();
    }
  }
  error.restore();
}

void report_unraisable(const char* format, ...) noexcept {
  FetchedError pending;
  va_list arguments;
  va_start(arguments, format);
  PyErr_FormatV(PyExc_RuntimeError, format, arguments);
  va_end(arguments);
  PyErr_WriteUnraisable(nullptr);
  pending.restore();
}

}  // namespace brenlox_copt::python
