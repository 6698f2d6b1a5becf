// module_state.hpp: what a module object keeps in its state (its classes, its exception type, the other libraries'
// types it has recognised), how a class and a running call reach it, and its part in garbage collection.
#pragma once

#include <Python.h>

#include <array>
#include <cstddef>

namespace brenlox_copt::python {

/// A module object's state. Each class is made with its module (PyType_FromModuleAndSpec), so the class, and every
/// object of it, leads back here; the state holds the classes in turn, a cycle the garbage collector sees through
/// the module's traverse and the types' own. Zeroed when the interpreter allocates it; every pointer is a strong
/// reference or null.
struct ModuleState {
  /// The module's classes, at the slot each class names (`kStateSlot`).
  std::array<PyObject*, 4> classes;
  /// The internal-failure exception.
  PyObject* panic;
  /// NumPy's ndarray and array's array, kept once an argument showed them (null until then).
  PyObject* numpy_array;
  PyObject* array_array;
};

/// The state of the module that made `type`; null with the error set when it has none (a cleared module).
[[nodiscard]] inline ModuleState* state_of_type(PyTypeObject* type) noexcept {
  return static_cast<ModuleState*>(PyType_GetModuleState(type));
}

/// PyType_FromModuleAndSpec, with MemoryError set when it fails without an error: CPython 3.11 can return null with
/// none when an allocation inside fails, which the import would report as a SystemError.
[[nodiscard]] PyObject* type_from_module(PyObject* module, PyType_Spec& spec) noexcept;

/// The state of a module object whose definition gives ModuleState's size; null before the interpreter allocated it.
[[nodiscard]] inline ModuleState* module_state(PyObject* module) noexcept {
  return static_cast<ModuleState*>(PyModule_GetState(module));
}

/// The m_traverse, m_clear and m_free of a module definition whose state is a ModuleState.
int traverse_module_state(PyObject* module, visitproc visit, void* arg) noexcept;
int clear_module_state(PyObject* module) noexcept;
void free_module_state(void* module) noexcept;

class CallingModule;

namespace detail {

// The innermost running call's scope on this thread. Per thread, so that no other thread, and no interpreter with a
// lock of its own, ever sees it; in the initial-exec model where the platform has it, so that reaching it is one
// instruction on every call, not a call into the dynamic loader.
#if defined(__ELF__)
inline thread_local __attribute__((tls_model("initial-exec"))) CallingModule* t_calling = nullptr;
#else
inline thread_local CallingModule* t_calling = nullptr;
#endif

}  // namespace detail

/// The module whose method or constructor runs on this thread, given by the class that method belongs to (or the type
/// a constructor makes), set by the call sequence for the helpers below it (argument classes, the exception type,
/// recognised types) and given back when the call ends. Its state is looked up on first need only: most calls never
/// need it. Calls nest, also across interpreters when an argument's own code switches to another one on this thread,
/// so each scope restores the one it found.
class CallingModule {
 public:
  explicit CallingModule(PyTypeObject* type) noexcept : m_type(type), m_previous(detail::t_calling) {
    detail::t_calling = this;
  }
  CallingModule(const CallingModule&) = delete;
  CallingModule& operator=(const CallingModule&) = delete;
  ~CallingModule() { detail::t_calling = m_previous; }

  /// The innermost running call's module state; null outside every call of the module, and null with the error set
  /// when the class no longer has its module (only the garbage collector's clearing of a class leaves that).
  [[nodiscard]] static ModuleState* state() noexcept {
    CallingModule* const scope = detail::t_calling;
    if (scope == nullptr) {
      return nullptr;
    }
    if (scope->m_state == nullptr) {
      scope->m_state = state_of_type(scope->m_type);
    }
    return scope->m_state;
  }

 private:
  PyTypeObject* m_type;
  ModuleState* m_state = nullptr;
  CallingModule* m_previous;
};

/// The class at `slot` of the running call's module (borrowed): what an argument of that class is checked against.
/// Null with RuntimeError set outside every call or when the garbage collector has cleared that state.
[[nodiscard]] PyTypeObject* calling_class(std::size_t slot) noexcept;

}  // namespace brenlox_copt::python
