// buffer.cpp: which objects' buffers hold exactly what iterating them yields, and reading the one-dimensional ones.
#include "python/buffer.hpp"

#include <optional>

#include "python/buffer_view.hpp"
#include "python/module_state.hpp"
#include "python/type_name.hpp"

namespace brenlox_copt::python::detail {
namespace {

/// A type of another library: the very object its module, when already imported, holds under that name; kept in the
/// running call's module state once seen, so that later checks compare one pointer. A type that merely calls itself
/// so is not it.
class ImportedType {
 public:
  constexpr ImportedType(PyObject* ModuleState::*cache, const char* module, const char* name) noexcept
      : m_cache(cache), m_module(module), m_name(name) {}
  /// nullopt with the error set when reading the type's names fails.
  [[nodiscard]] std::optional<bool> is(PyTypeObject* type) const noexcept {
    auto* const object = reinterpret_cast<PyObject*>(type);
    ModuleState* const state = CallingModule::state();
    if (state == nullptr && PyErr_Occurred() != nullptr) {
      return std::nullopt;
    }
    if (state != nullptr && object == state->*m_cache) {
      return true;
    }
    const std::optional<bool> imported = is_imported_type(type, m_module, m_name);
    if (imported && *imported && state != nullptr && state->*m_cache == nullptr) {
      state->*m_cache = Py_NewRef(object);
    }
    return imported;
  }

 private:
  PyObject* ModuleState::*m_cache;
  const char* m_module;
  const char* m_name;
};

constexpr ImportedType numpy_array(&ModuleState::numpy_array, "numpy", "ndarray");
constexpr ImportedType array_array(&ModuleState::array_array, "array", "array");

/// The types whose iteration yields exactly their buffer's items; nullopt with the error set when reading a type's
/// names fails.
std::optional<bool> is_buffer_type(PyTypeObject* type) noexcept {
  if (type == &PyBytes_Type || type == &PyByteArray_Type || type == &PyMemoryView_Type) {
    return true;
  }
  const std::optional<bool> numpy = numpy_array.is(type);
  if (!numpy || *numpy) {
    return numpy;
  }
  return array_array.is(type);
}

/// Whether `type` iterates and exposes its buffer as `base` does: it overrides none of the slots either goes through
/// (NumPy arrays iterate by indexing).
bool behaves_as(PyTypeObject* type, PyTypeObject* base) noexcept {
  for (const int slot : {Py_tp_iter, Py_sq_item, Py_bf_getbuffer}) {
    if (PyType_GetSlot(type, slot) != PyType_GetSlot(base, slot)) {
      return false;
    }
  }
  return true;
}

/// Whether iterating `object` surely yields its buffer's items. A masked array, or a subclass with its own __iter__
/// or __getitem__, is walked item by item, as iteration gives it. nullopt with the error set when reading a type's
/// names fails.
std::optional<bool> buffer_is_iteration(PyObject* object) noexcept {
  PyTypeObject* const type = Py_TYPE(object);
  for (PyTypeObject* base = type; base != nullptr; base = static_cast<PyTypeObject*>(PyType_GetSlot(base, Py_tp_base))) {
    const std::optional<bool> buffer_type = is_buffer_type(base);
    if (!buffer_type) {
      return std::nullopt;
    }
    if (*buffer_type) {
      return base == type || behaves_as(type, base);
    }
  }
  return false;
}

/// Appends a one-dimensional C-contiguous buffer's items when its format is one Value is read from.
template <class Value>
std::optional<bool> append_flat(PyObject* object, std::vector<Value>& out, KnownBufferType& known) {
  PyTypeObject* const type = Py_TYPE(object);
  if (type != known.type) {
    const std::optional<bool> iterates = buffer_is_iteration(object);
    if (!iterates || !*iterates) {
      return iterates ? std::nullopt : std::optional<bool>(false);
    }
    const std::optional<bool> trusted = is_buffer_type(type);
    if (!trusted) {
      return false;
    }
    if (*trusted) {
      known.type = type;
    }
  }
  const BufferView view(object, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT);
  if (view.failed()) {
    return false;
  }
  const ReadChunk<Value> read = view.ndim() == 1 ? item_reader<Value>(view) : nullptr;
  if (read == nullptr) {
    return std::nullopt;
  }
  return append_contiguous(view.bytes(), view.extent(0), view.item_size(), read, out);
}

}  // namespace

std::optional<bool> is_numpy_array(PyObject* object) noexcept { return numpy_array.is(Py_TYPE(object)); }

std::optional<bool> append_buffer(PyObject* object, std::vector<double>& out, KnownBufferType& known) {
  return append_flat(object, out, known);
}

std::optional<bool> append_buffer(PyObject* object, std::vector<std::uint64_t>& out, KnownBufferType& known) {
  return append_flat(object, out, known);
}

}  // namespace brenlox_copt::python::detail
