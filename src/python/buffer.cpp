// buffer.cpp: which objects' buffers hold exactly what iterating them yields.
#include "python/buffer.hpp"

#include "python/type_name.hpp"

namespace brenlox_copt::python::detail {
namespace {

/// A type of another library, recognised by name and kept from then on (it lives as long as its module).
class NamedType {
 public:
  constexpr NamedType(const char* module, const char* name) noexcept : m_module(module), m_name(name) {}
  [[nodiscard]] bool is(PyTypeObject* type) noexcept {
    if (type == m_type) {
      return true;
    }
    if (!type_is_named(type, m_module, m_name)) {
      return false;
    }
    if (m_type == nullptr) {
      Py_INCREF(reinterpret_cast<PyObject*>(type));
      m_type = type;
    }
    return true;
  }

 private:
  const char* m_module;
  const char* m_name;
  PyTypeObject* m_type = nullptr;
};

constinit NamedType numpy_array("numpy", "ndarray");
constinit NamedType array_array("array", "array");

/// The types whose iteration yields exactly their buffer's items.
bool is_buffer_type(PyTypeObject* type) noexcept {
  return type == &PyBytes_Type || type == &PyByteArray_Type || type == &PyMemoryView_Type || numpy_array.is(type) ||
         array_array.is(type);
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

}  // namespace

bool buffer_is_iteration(PyObject* object) noexcept {
  PyTypeObject* const type = Py_TYPE(object);
  for (PyTypeObject* base = type; base != nullptr; base = static_cast<PyTypeObject*>(PyType_GetSlot(base, Py_tp_base))) {
    if (is_buffer_type(base)) {
      return base == type || behaves_as(type, base);
    }
  }
  return false;
}

}  // namespace brenlox_copt::python::detail
