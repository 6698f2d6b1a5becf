// interpreter_types.hpp: each interpreter's own type objects: the main interpreter's are kept for the process, a
// sub-interpreter's as long as one of its module objects or class instances lives, so that no interpreter ever reaches
// another's.
#pragma once

#include <Python.h>

#include <cstddef>
#include <utility>

namespace brenlox_copt::python {

/// The type objects the module makes (its classes, the internal-failure exception) or recognises (other libraries'
/// array types), one of each per interpreter.
enum class TypeId : std::size_t { Copt, Env, EnvrConfig, Model, Panic, NumpyArray, ArrayArray, Count };

/// The calling interpreter's type `id` (no new reference), or null when it has none yet.
[[nodiscard]] PyObject* find_type(TypeId id) noexcept;

/// Keeps `type` (a new reference, taken over) as the calling interpreter's type `id` and returns it (no new reference); when
/// that interpreter already has one, `type` is dropped and the kept one returned. Null with MemoryError set when a
/// sub-interpreter's set cannot be made.
[[nodiscard]] PyObject* keep_type(TypeId id, PyObject* type) noexcept;

/// The calling interpreter's type `id` (no new reference), made by `create` (a new reference, or null with the error set)
/// on first need.
template <class Create>
[[nodiscard]] PyObject* interpreter_type(TypeId id, Create&& create) noexcept {
  if (PyObject* type = find_type(id)) {
    return type;
  }
  // Creating runs Python code, which may fill the slot or drop the set meanwhile: keep_type looks again.
  PyObject* type = std::forward<Create>(create)();
  return type == nullptr ? nullptr : keep_type(id, type);
}

/// Taken by each module object when it is executed and by each object of the module's classes when it is made, given
/// back when that is freed: a sub-interpreter's set is freed when the last of them goes. Nothing happens in the
/// main interpreter. false with MemoryError set on failure.
[[nodiscard]] bool hold_interpreter_types() noexcept;
void give_back_interpreter_types() noexcept;

}  // namespace brenlox_copt::python
