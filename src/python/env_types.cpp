// env_types.cpp: the Env and EnvrConfig classes: constructors, EnvrConfig.set, and their type objects.
#include "python/env_types.hpp"

#include <optional>
#include <string>
#include <utility>

#include "backend/library.hpp"
#include "python/attribute_value.hpp"
#include "python/call.hpp"

namespace brenlox_copt::python {
namespace {

/// A new load of the solver library; nullopt searches COPT_HOME and the fixed install directory.
[[nodiscard]] backend::Result<backend::LibraryShare> load_library(const std::optional<Utf8Text>& dll_path) {
  std::optional<std::string> path;
  if (dll_path) {
    path.emplace(dll_path->view());
  }
  return backend::load_library(path);
}

/// The native environment of new_environment, before it is wrapped in a record.
[[nodiscard]] backend::Result<backend::NativeEnvironment> create_native_environment(
    const std::optional<Utf8Text>& dll_path, const std::optional<SharedInstance<EnvrConfigClass>>& config) {
  if (config) {
    return backend::create_env_with_config(config->content());
  }
  auto library = load_library(dll_path);
  if (!library) {
    return backend::pass_up(library);
  }
  return backend::create_env(std::move(*library));
}

// Env(dll_path=None, config=None)
constexpr auto kEnvNew = signature("Env.__new__()", param<Optional<Text>>("dll_path"),
                                   param<Optional<InstanceOf<EnvrConfigClass>>>("config"));

PyObject* Env_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) noexcept {
  return call_constructor(type, args, kwargs, kEnvNew,
                          [type](std::optional<Utf8Text> dll_path,
                                 std::optional<SharedInstance<EnvrConfigClass>> config) -> PyObject* {
                            backend::EnvironmentShare environment = new_environment(dll_path, config);
                            if (!environment) {
                              return nullptr;
                            }
                            return new_instance<EnvClass>(type, std::move(environment));
                          });
}

PyType_Slot Env_slots[] = {
    {Py_tp_doc, const_cast<char*>("Env(dll_path=None, config=None)\n--\n\n"
                                  "Python owner for a reusable native COPT environment.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(instance_dealloc<EnvClass>)},
    {Py_tp_new, reinterpret_cast<void*>(Env_new)},
    {0, nullptr},
};

// "builtins." is a compatibility text: the __module__ callers already know the class by, not where it lives.
PyType_Spec Env_spec = {"builtins.Env", sizeof(Instance<EnvClass>), 0, Py_TPFLAGS_DEFAULT, Env_slots};

// EnvrConfig(dll_path=None)
constexpr auto kEnvrConfigNew = signature("EnvrConfig.__new__()", param<Optional<Text>>("dll_path"));

PyObject* EnvrConfig_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) noexcept {
  return call_constructor(type, args, kwargs, kEnvrConfigNew, [type](std::optional<Utf8Text> dll_path) -> PyObject* {
    auto library = load_library(dll_path);
    if (!library) {
      return raise_backend_error(std::move(library.error()));
    }
    auto config = backend::ClientConfig::create(std::move(*library));
    if (!config) {
      return raise_backend_error(std::move(config.error()));
    }
    return new_instance<EnvrConfigClass>(type, std::move(*config));
  });
}

// set(name, value)
constexpr auto kEnvrConfigSet = signature("EnvrConfig.set()", param<Text>("name"), param<ConfigValueArg>("value"));

PyObject* EnvrConfig_set(PyObject* self, PyTypeObject* defining_class, PyObject* const* args, std::size_t nargs,
                         PyObject* kwnames) noexcept {
  return call_method<EnvrConfigClass, BorrowKind::Exclusive>(
      self, defining_class, args, nargs, kwnames, kEnvrConfigSet,
      [](backend::ClientConfig& config, Utf8Text name, const std::string& value) -> PyObject* {
        if (auto sent = config.set(name.terminated(), backend::TerminatedText(value)); !sent) {
          return raise_backend_error(std::move(sent.error()));
        }
        Py_RETURN_NONE;
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

// "builtins." is a compatibility text: the __module__ callers already know the class by, not where it lives.
PyType_Spec EnvrConfig_spec = {"builtins.EnvrConfig", sizeof(Instance<EnvrConfigClass>), 0, Py_TPFLAGS_DEFAULT,
                               EnvrConfig_slots};

}  // namespace

backend::EnvironmentShare new_environment(const std::optional<Utf8Text>& dll_path,
                                          const std::optional<SharedInstance<EnvrConfigClass>>& config) {
  if (config && dll_path) {
    PyErr_SetString(PyExc_ValueError, "config cannot be provided together with dll_path");
    return nullptr;
  }
  auto environment = create_native_environment(dll_path, config);
  if (!environment) {
    raise_backend_error(std::move(environment.error()));
    return nullptr;
  }
  return backend::make_record(std::move(*environment));
}

PyType_Spec& EnvClass::spec() noexcept { return Env_spec; }

PyType_Spec& EnvrConfigClass::spec() noexcept { return EnvrConfig_spec; }

}  // namespace brenlox_copt::python
