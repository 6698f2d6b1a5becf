// array_rows.hpp: a two-dimensional NumPy array as rows, read whole through one buffer export instead of one view
// object per row.
#pragma once

#include <Python.h>

#include <cstdint>
#include <optional>

#include "python/rows.hpp"

namespace brenlox_copt::python::detail {

/// Appends the rows of `object`, when it is exactly a two-dimensional NumPy array (any layout, read-only included)
/// whose items the one-dimensional buffer path reads: float64 for values, native integers for ids. Walking such an
/// array row by row runs no Python code and gives the same values and the same first error, which this gives too:
/// false with it set, nothing appended. Nullopt, with nothing appended and no error set, for any other object.
[[nodiscard]] std::optional<bool> append_array_rows(PyObject* object, Rows<double>& out);
[[nodiscard]] std::optional<bool> append_array_rows(PyObject* object, Rows<std::uint64_t>& out);

}  // namespace brenlox_copt::python::detail
