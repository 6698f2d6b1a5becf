// module_load_test.cpp: loads brenlox_copt.pyd through the Windows loader (with the python3.dll stand-in beside it)
// and checks the module definition that PyInit_brenlox_copt returns; run under Wine by scripts/windows-check.sh.
#include <Python.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

int failures = 0;

void expect(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "module load test: %s\n", what);
    ++failures;
  }
}

}  // namespace

int main() {
  HMODULE module = LoadLibraryW(L"brenlox_copt.pyd");
  if (module == nullptr) {
    std::fprintf(stderr, "module load test: LoadLibraryW(brenlox_copt.pyd) failed with %lu\n", GetLastError());
    return 1;
  }
  // GetProcAddress's generic function type goes through void (*)() to the initialiser's type.
  const auto address = reinterpret_cast<void (*)()>(GetProcAddress(module, "PyInit_brenlox_copt"));
  if (address == nullptr) {
    std::fprintf(stderr, "module load test: PyInit_brenlox_copt is not exported\n");
    return 1;
  }
  const auto init = reinterpret_cast<PyObject* (*)()>(address);
  // The stand-in's PyModuleDef_Init returns the definition itself, as multi-phase initialisation does.
  const auto* definition = reinterpret_cast<const PyModuleDef*>(init());
  expect(definition != nullptr, "PyInit_brenlox_copt returned null");
  if (definition != nullptr) {
    expect(definition->m_name != nullptr && std::strcmp(definition->m_name, "brenlox_copt") == 0, "name");
    expect(definition->m_doc != nullptr && definition->m_doc[0] == '\0', "docstring is not empty");
    expect(definition->m_size == 0, "module state size is not 0");
    expect(definition->m_methods == nullptr, "module-level functions");
    const PyModuleDef_Slot* slots = definition->m_slots;
    expect(slots != nullptr && slots[0].slot == Py_mod_exec && slots[0].value != nullptr, "no execution slot");
    expect(slots != nullptr && slots[1].slot == 0, "more than one slot");
    expect(definition->m_traverse == nullptr && definition->m_clear == nullptr && definition->m_free == nullptr,
           "traverse, clear or free set");
  }
  FreeLibrary(module);
  if (failures == 0) {
    std::printf("module load test: brenlox_copt.pyd loaded, PyInit_brenlox_copt returned its definition\n");
  }
  return failures == 0 ? 0 : 1;
}
