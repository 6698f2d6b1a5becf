// interpreter_types.cpp: the main interpreter's type set, and a counted set for each sub-interpreter.
#include "python/interpreter_types.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <new>
#include <vector>

namespace brenlox_copt::python {
namespace {

using TypeSet = std::array<PyObject*, static_cast<std::size_t>(TypeId::Count)>;

// The main interpreter's types: made once, never freed, shared by every module object it makes.
constinit TypeSet g_main_types{};

/// A sub-interpreter's types and how many of its module objects and class instances hold them. A set made while none
/// does (a class that outlived them all, called) stays until a holder comes and goes, at worst for the process.
struct SubinterpreterTypes {
  std::int64_t interpreter;
  std::size_t holders;
  TypeSet types;
};

// Only touched with the interpreter lock held, which every interpreter that may import the module shares: own-GIL
// interpreters are refused at import. Keyed by interpreter id, which is never reused.
std::vector<SubinterpreterTypes> g_subinterpreters;

[[nodiscard]] std::int64_t current_interpreter() noexcept { return PyInterpreterState_GetID(PyInterpreterState_Get()); }

[[nodiscard]] std::vector<SubinterpreterTypes>::iterator find_subinterpreter(std::int64_t interpreter) noexcept {
  return std::find_if(g_subinterpreters.begin(), g_subinterpreters.end(),
                      [interpreter](const SubinterpreterTypes& entry) { return entry.interpreter == interpreter; });
}

/// The calling interpreter's set, made empty if it has none; null with MemoryError set when that fails.
[[nodiscard]] SubinterpreterTypes* subinterpreter_entry(std::int64_t interpreter) noexcept {
  const auto found = find_subinterpreter(interpreter);
  if (found != g_subinterpreters.end()) {
    return &*found;
  }
  try {
    return &g_subinterpreters.emplace_back(SubinterpreterTypes{interpreter, 0, {}});
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
    return nullptr;
  }
}

[[nodiscard]] constexpr std::size_t index(TypeId id) noexcept { return static_cast<std::size_t>(id); }

}  // namespace

PyObject* find_type(TypeId id) noexcept {
  const std::int64_t interpreter = current_interpreter();
  if (interpreter == 0) {
    return g_main_types[index(id)];
  }
  const auto found = find_subinterpreter(interpreter);
  return found == g_subinterpreters.end() ? nullptr : found->types[index(id)];
}

PyObject* keep_type(TypeId id, PyObject* type) noexcept {
  const std::int64_t interpreter = current_interpreter();
  TypeSet* set = &g_main_types;
  if (interpreter != 0) {
    SubinterpreterTypes* entry = subinterpreter_entry(interpreter);
    if (entry == nullptr) {
      Py_DECREF(type);
      return nullptr;
    }
    set = &entry->types;
  }
  PyObject*& slot = (*set)[index(id)];
  if (slot == nullptr) {
    slot = type;
  } else {
    Py_DECREF(type);
  }
  return slot;
}

bool hold_interpreter_types() noexcept {
  const std::int64_t interpreter = current_interpreter();
  if (interpreter == 0) {
    return true;
  }
  SubinterpreterTypes* entry = subinterpreter_entry(interpreter);
  if (entry == nullptr) {
    return false;
  }
  ++entry->holders;
  return true;
}

void give_back_interpreter_types() noexcept {
  const std::int64_t interpreter = current_interpreter();
  const auto found = interpreter == 0 ? g_subinterpreters.end() : find_subinterpreter(interpreter);
  if (found == g_subinterpreters.end() || --found->holders > 0) {
    return;
  }
  // Out of the registry first: freeing a type may run Python code that looks its interpreter's set up again.
  const TypeSet types = found->types;
  g_subinterpreters.erase(found);
  for (PyObject* type : types) {
    Py_XDECREF(type);
  }
}

}  // namespace brenlox_copt::python
