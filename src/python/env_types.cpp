// env_types.cpp: the Env and EnvrConfig classes: constructors, EnvrConfig.set, and their type objects.
#include "python/env_types.hpp"

#include <optional>

#include "python/call.hpp"
#include "python/pending.hpp"
#include "python/type_cache.hpp"

namespace brenlox_copt::python {
namespace {

// Env(dll_path=None, config=None)
constexpr auto kEnvNew = signature("Env.__new__()", param<Optional<Text>>("dll_path"),
                                   param<Optional<InstanceOf<EnvrConfigClass>>>("config"));

PyObject* Env_new(PyTypeObject* /*type*/, PyObject* args, PyObject* kwargs) noexcept {
  return call_constructor(args, kwargs, kEnvNew,
                          [](std::optional<Utf8Text> /*dll_path*/,
                             std::optional<SharedInstance<EnvrConfigClass>> /*config*/) -> PyObject* {
                            return raise_library_unavailable();
                          });
}

PyType_Slot Env_slots[] = {
    {Py_tp_doc, const_cast<char*>("Env(dll_path=None, config=None)\n--\n\n"
                                  "Python owner for a reusable native COPT environment.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(instance_dealloc<EnvClass>)},
    {Py_tp_new, reinterpret_cast<void*>(Env_new)},
    {0, nullptr},
};

PyType_Spec Env_spec = {"builtins.Env", sizeof(Instance<EnvClass>), 0, Py_TPFLAGS_DEFAULT, Env_slots};

// EnvrConfig(dll_path=None)
constexpr auto kEnvrConfigNew = signature("EnvrConfig.__new__()", param<Optional<Text>>("dll_path"));

PyObject* EnvrConfig_new(PyTypeObject* /*type*/, PyObject* args, PyObject* kwargs) noexcept {
  return call_constructor(args, kwargs, kEnvrConfigNew, [](std::optional<Utf8Text> /*dll_path*/) -> PyObject* {
    return raise_library_unavailable();
  });
}

// set(name, value)
constexpr auto kEnvrConfigSet = signature("EnvrConfig.set()", param<Text>("name"), param<AnyObject>("value"));

PyObject* EnvrConfig_set(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
  return call_method<EnvrConfigClass, BorrowKind::Exclusive>(
      self, args, kwargs, kEnvrConfigSet,
      [](EnvrConfigContent& /*config*/, Utf8Text /*name*/, Ref /*value*/) -> PyObject* {
        return raise_library_unavailable();
      });
}

PyMethodDef EnvrConfig_methods[] = {
    keywords_method("set", EnvrConfig_set,
                    "set($self, name, value)\n--\n\n"
                    "Set a client configuration value before creating an environment."),
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot EnvrConfig_slots[] = {
    {Py_tp_doc, const_cast<char*>("EnvrConfig(dll_path=None)\n--\n\n"
                                  "Python wrapper for the solver's client configuration object.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(instance_dealloc<EnvrConfigClass>)},
    {Py_tp_new, reinterpret_cast<void*>(EnvrConfig_new)},
    {Py_tp_methods, EnvrConfig_methods},
    {0, nullptr},
};

PyType_Spec EnvrConfig_spec = {"builtins.EnvrConfig", sizeof(Instance<EnvrConfigClass>), 0, Py_TPFLAGS_DEFAULT,
                               EnvrConfig_slots};

// Created once and kept for the process (see cached_type).
PyObject* g_env_type = nullptr;
PyObject* g_envr_config_type = nullptr;

}  // namespace

PyTypeObject* EnvClass::type() noexcept { return cached_type(g_env_type, Env_spec); }

PyTypeObject* EnvrConfigClass::type() noexcept { return cached_type(g_envr_config_type, EnvrConfig_spec); }

}  // namespace brenlox_copt::python
