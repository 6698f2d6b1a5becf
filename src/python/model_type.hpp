// model_type.hpp: the Model class: what its objects own, and its type object.
#pragma once

#include <Python.h>

namespace brenlox_copt::python {

/// What a Model object owns; it becomes the BackendModel when the backend is wired in.
struct ModelContent {};

struct ModelClass {
  using Content = ModelContent;
  static constexpr const char* kName = "Model";
  static constexpr const char* kTypePath = "brenlox_copt::model::Model";
  static PyTypeObject* type() noexcept;
};

}  // namespace brenlox_copt::python
