// env_types.hpp: the Env and EnvrConfig classes: what their objects own, and their type objects.
#pragma once

#include <Python.h>

namespace brenlox_copt::python {

/// What an Env object owns; it gains the environment share when the environment record is wired in.
struct EnvContent {};

/// What an EnvrConfig object owns; it gains the client configuration (with its library share) when wired in.
struct EnvrConfigContent {};

struct EnvClass {
  using Content = EnvContent;
  static constexpr const char* kName = "Env";
  static constexpr const char* kTypePath = "brenlox_copt::env::Env";
  static PyTypeObject* type() noexcept;
};

struct EnvrConfigClass {
  using Content = EnvrConfigContent;
  static constexpr const char* kName = "EnvrConfig";
  static constexpr const char* kTypePath = "brenlox_copt::env::EnvConfig";
  static PyTypeObject* type() noexcept;
};

}  // namespace brenlox_copt::python
