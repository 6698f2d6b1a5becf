// model_type.hpp: the Model class: what its objects own, and its type object.
#pragma once

#include <Python.h>

#include <cstddef>

#include "backend/model.hpp"

namespace brenlox_copt::python {

/// A Model object owns one BackendModel: its native problem with the environment and library shares behind it.
struct ModelClass {
  using Content = backend::BackendModel;
  static constexpr const char* kName = "Model";
  // A compatibility text: thread messages name the class by the path callers already match on; it is no path in
  // this code.
  static constexpr const char* kTypePath = "brenlox_copt::model::Model";
  static constexpr std::size_t kStateSlot = 3;
  /// The class's spec, from which each module object makes the class with itself.
  static PyType_Spec& spec() noexcept;
};

}  // namespace brenlox_copt::python
