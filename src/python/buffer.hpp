// buffer.hpp: the fast path of sequence arguments that expose a C-contiguous one-dimensional buffer (NumPy arrays,
// array.array, bytes): float64 values for Number items and native integers for UnsignedInt items are read straight
// from memory, with the very values and errors that converting the items one by one gives.
#pragma once

#include <Python.h>

#include <cstdint>
#include <optional>
#include <type_traits>
#include <vector>

#include "python/kinds.hpp"

namespace brenlox_copt::python::detail {

template <class Item>
inline constexpr bool kReadsBuffers = std::is_same_v<Item, Number> || std::is_same_v<Item, UnsignedInt>;

/// Whether `object` is exactly a NumPy array (no subclass), NumPy being already imported; nullopt with the error set
/// when reading its type's names fails.
[[nodiscard]] std::optional<bool> is_numpy_array(PyObject* object) noexcept;

/// The one type of buffer objects that a walk has found to be exactly one of the trusted types (immutable, and kept
/// alive by the interpreter or the module's state), so that the rows of a list of arrays recognise their type once per
/// call, not once per row.
struct KnownBufferType {
  PyTypeObject* type = nullptr;
};

/// Appends the items of `object` to `out` straight from its buffer, when iterating the object surely yields its
/// buffer's items (bytes, bytearray, memoryview, NumPy arrays, array.array, and subclasses that change neither how
/// they iterate nor their buffer) and the buffer is one-dimensional, C-contiguous and of float64 items. Gives nullopt,
/// with nothing appended and no error set, for any other object; true when every item is appended; false with the
/// error set when reading the object's type names or asking for its buffer fails other than by a refusal.
[[nodiscard]] std::optional<bool> append_buffer(PyObject* object, std::vector<double>& out,
                                               KnownBufferType& known);

/// As above for native integers of any size. A negative item fails as the same int would (false with the
/// interpreter's OverflowError, nothing appended).
[[nodiscard]] std::optional<bool> append_buffer(PyObject* object, std::vector<std::uint64_t>& out,
                                               KnownBufferType& known);

}  // namespace brenlox_copt::python::detail
