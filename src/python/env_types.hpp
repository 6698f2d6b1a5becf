// env_types.hpp: the Env and EnvrConfig classes: what their objects own, their type objects, and the creation of
// the environment a new Env or a Model without an Env lives in.
#pragma once

#include <Python.h>

#include <cstddef>

#include <optional>

#include "backend/environment.hpp"
#include "python/kinds.hpp"

namespace brenlox_copt::python {

/// An Env object owns one environment share and nothing else.
struct EnvClass {
  using Content = backend::EnvironmentShare;
  static constexpr const char* kName = "Env";
  // A compatibility text: thread messages name the class by the path callers already match on; it is no path in
  // this code.
  static constexpr const char* kTypePath = "brenlox_copt::env::Env";
  static constexpr std::size_t kStateSlot = 1;
  /// The class's spec, from which each module object makes the class with itself.
  static PyType_Spec& spec() noexcept;
};

/// An EnvrConfig object owns one native client configuration with the library share that made it.
struct EnvrConfigClass {
  using Content = backend::ClientConfig;
  static constexpr const char* kName = "EnvrConfig";
  // A compatibility text: thread messages name the class by the path callers already match on; it is no path in
  // this code.
  static constexpr const char* kTypePath = "brenlox_copt::env::EnvConfig";
  static constexpr std::size_t kStateSlot = 2;
  /// The class's spec, from which each module object makes the class with itself.
  static PyType_Spec& spec() noexcept;
};

/// A new private environment: made from `config` when one is given (no library load), else after a new load of the
/// library at `dll_path` (nullopt searches the default places). A null share with a Python error set on failure:
/// ValueError when both are given, RuntimeError when loading or creating fails.
[[nodiscard]] backend::EnvironmentShare new_environment(const std::optional<Utf8Text>& dll_path,
                                                        const std::optional<SharedInstance<EnvrConfigClass>>& config);

}  // namespace brenlox_copt::python
