// type_name.hpp: reading a type's names, and recognising a type by its module and name, or as the very object its
// module holds, for types of libraries the module must not import. A name that is missing (AttributeError) counts as
// no name; any other failure while reading one (an interrupt, SystemExit, MemoryError) ends the caller's call.
#pragma once

#include <Python.h>

#include <optional>

#include "python/ref.hpp"

namespace brenlox_copt::python {

/// The str `type` has as attribute `name`. Empty with no error set when there is none (its AttributeError passed
/// over) or it is no str; empty with the error left set for any other failure.
[[nodiscard]] Ref type_text_attribute(PyTypeObject* type, const char* name) noexcept;

/// Whether `type` is named `name` in module `module`; nullopt with the error set when reading the names fails.
[[nodiscard]] std::optional<bool> type_is_named(PyTypeObject* type, const char* module, const char* name) noexcept;

/// Whether `type` is the very object that module `module` holds as `name`, the module being already imported (it is
/// never imported here); nullopt with the error set when reading the names or the module's attribute fails.
[[nodiscard]] std::optional<bool> is_imported_type(PyTypeObject* type, const char* module, const char* name) noexcept;

}  // namespace brenlox_copt::python
