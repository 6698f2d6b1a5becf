// instance.hpp: the memory layout, creation and deallocation shared by every thread-bound class of the module.
#pragma once

#include <Python.h>

#include <concepts>
#include <cstddef>
#include <memory>
#include <type_traits>
#include <utility>

#include "python/errors.hpp"
#include "python/guard.hpp"

namespace brenlox_copt::python {

/// What a thread-bound class supplies: the `Content` its objects own, the class name `kName` (used in downcast
/// messages), the `kTypePath` of thread messages, and `kStateSlot`, where its module's state keeps the class.
template <class Class>
concept BoundClass = requires {
  typename Class::Content;
  { Class::kName } -> std::convertible_to<const char*>;
  { Class::kTypePath } -> std::convertible_to<const char*>;
  { Class::kStateSlot } -> std::convertible_to<std::size_t>;
};

/// The layout of one object: the Python header, then the creating thread, the borrow state and the content.
template <BoundClass Class>
struct Instance {
  PyObject header;
  ThreadBinding thread;
  BorrowFlag borrow;
  typename Class::Content content;
};

template <BoundClass Class>
[[nodiscard]] Instance<Class>& instance_of(PyObject* object) noexcept {
  return *reinterpret_cast<Instance<Class>*>(object);
}

/// Allocates an object of `type` through the type's own allocation slot, bound to the current thread, and moves the
/// finished content into it. On failure the content stays with the caller, which destroys it as usual.
template <BoundClass Class>
[[nodiscard]] PyObject* new_instance(PyTypeObject* type, typename Class::Content&& content) noexcept {
  static_assert(std::is_nothrow_move_constructible_v<typename Class::Content>);
  auto* allocate = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
  PyObject* object = allocate(type, 0);
  if (object == nullptr) {
    return nullptr;
  }
  auto& instance = instance_of<Class>(object);
  std::construct_at(&instance.thread);
  std::construct_at(&instance.borrow);
  std::construct_at(&instance.content, std::move(content));
  return object;
}

/// The deallocation slot. The content is destroyed only on the creating thread; elsewhere it is left allocated for
/// the rest of the process, because destroying native state from a thread that does not own it is not safe.
template <BoundClass Class>
void instance_dealloc(PyObject* object) noexcept {
  auto& instance = instance_of<Class>(object);
  if (instance.thread.is_current()) {
    std::destroy_at(&instance.content);
  } else {
    report_unraisable("%s is unsendable, but is being dropped on another thread", Class::kTypePath);
  }
  PyTypeObject* type = Py_TYPE(object);
  auto* free_memory = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_memory(object);
  // Instances of heap types hold a reference to their type, which holds its module and so the module's state.
  Py_DECREF(type);
}

}  // namespace brenlox_copt::python
