// sequence.cpp: the out-of-line parts of the sequence kinds: the walk of sequences that are read by iterating them,
// and the size hints.
#include "python/sequence.hpp"

#include "python/errors.hpp"
#include "python/module_state.hpp"

namespace brenlox_copt::python::detail {
namespace {

/// Raises the error for an object that is a str or fails PySequence_Check and returns false; true otherwise.
bool accepts_as_sequence(PyObject* object) noexcept {
  if (PyUnicode_Check(object)) {
    PyErr_SetString(PyExc_TypeError, "Can't extract `str` to `Vec`");
    return false;
  }
  if (PySequence_Check(object) == 0) {
    raise_downcast_error(object, "Sequence");
    return false;
  }
  return true;
}

/// The length PyObject_Size reports, or 0 when the object has none (its TypeError cleared, as Python's own length hint
/// does); -1 with the error set for any other failure, such as a KeyboardInterrupt raised in __len__.
Py_ssize_t size_hint(PyObject* object) noexcept {
  const Py_ssize_t size = PyObject_Size(object);
  if (size < 0 && PyErr_ExceptionMatches(PyExc_TypeError) != 0) {
    PyErr_Clear();
    return 0;
  }
  return size;
}

/// The length of an exact list or tuple; 0 for anything else.
std::size_t exact_length(PyObject* object) noexcept {
  if (PyList_CheckExact(object)) {
    return static_cast<std::size_t>(PyList_Size(object));
  }
  if (PyTuple_CheckExact(object)) {
    return static_cast<std::size_t>(PyTuple_Size(object));
  }
  return 0;
}

}  // namespace

bool walk_iteration(PyObject* object, const SinkRef& sink) {
  if (!accepts_as_sequence(object)) {
    return false;
  }
  const Py_ssize_t size = size_hint(object);
  if (size < 0) {
    return false;
  }
  sink.reserve(static_cast<std::size_t>(size));
  const Ref iterator = Ref::steal(PyObject_GetIter(object));
  if (!iterator) {
    return false;
  }
  // An iteration need not end (range(2**40) takes all memory first), so it is counted to let Ctrl-C stop it.
  for (std::size_t walked = 0; const Ref item = Ref::steal(PyIter_Next(iterator.get())); ++walked) {
    if (!sink.append(item.get()) || !poll_signals(walked, walked + 1)) {
      return false;
    }
  }
  return PyErr_Occurred() == nullptr;
}

bool append_held(PyObject* item, const SinkRef& sink) {
  const Ref held = Ref::new_reference(item);
  return sink.append(item);
}

std::optional<std::size_t> nested_size_hint(PyObject* object) noexcept {
  const std::size_t rows = exact_length(object);
  const auto row_at = PyList_CheckExact(object) ? PyList_GetItem : PyTuple_GetItem;
  // Rows of the NumPy array type this module has already recognised are measured too: comparing one pointer tells
  // them, and an array's length runs no Python code.
  const ModuleState* const state = CallingModule::state();
  const PyObject* const array_type = state != nullptr ? state->numpy_array : nullptr;
  std::size_t total = 0;
  for (std::size_t row = 0; row < rows; ++row) {
    PyObject* const item = row_at(object, static_cast<Py_ssize_t>(row));
    if (array_type != nullptr && reinterpret_cast<PyObject*>(Py_TYPE(item)) == array_type) {
      const Py_ssize_t size = size_hint(item);
      if (size < 0) {
        return std::nullopt;
      }
      total += static_cast<std::size_t>(size);
    } else {
      total += exact_length(item);
    }
  }
  return total;
}

}  // namespace brenlox_copt::python::detail
