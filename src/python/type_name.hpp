// type_name.hpp: recognising a type by its module and name, or as the very object its module holds, for types of libraries the module must not import.
#pragma once

#include <Python.h>

namespace brenlox_copt::python {

/// Whether `type` is named `name` in module `module`; false, with no error left set, when either cannot be read.
[[nodiscard]] bool type_is_named(PyTypeObject* type, const char* module, const char* name) noexcept;

/// Whether `type` is the very object that module `module` holds as `name`, the module being already imported (it is
/// never imported here); false, with no error left set, otherwise.
[[nodiscard]] bool is_imported_type(PyTypeObject* type, const char* module, const char* name) noexcept;

}  // namespace brenlox_copt::python
