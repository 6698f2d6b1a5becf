// array_rows.cpp: reading a two-dimensional NumPy array's items in row order, straight from its memory when it is
// C-contiguous and gathered through its strides otherwise.
#include "python/array_rows.hpp"

#include <cstring>

#include "python/buffer.hpp"
#include "python/buffer_view.hpp"

namespace brenlox_copt::python::detail {
namespace {

/// Gathers items of a strided two-dimensional view in row order into one run, a chunk at a time.
class RowOrderGather {
 public:
  explicit RowOrderGather(const BufferView& view) noexcept
      : m_bytes(view.bytes()),
        m_columns(view.extent(1)),
        m_row_step(view.stride(0)),
        m_column_step(view.stride(1)),
        m_size(view.item_size()) {}

  /// Items [first, first + length) in row order, copied one after another into `scratch`.
  const char* operator()(std::size_t first, std::size_t length, char* scratch) const noexcept {
    std::size_t row = first / m_columns;
    std::size_t column = first % m_columns;
    for (std::size_t index = 0; index < length; ++index) {
      const std::ptrdiff_t offset = static_cast<std::ptrdiff_t>(row) * m_row_step +
                                    static_cast<std::ptrdiff_t>(column) * m_column_step;
      std::memcpy(scratch + index * m_size, m_bytes + offset, m_size);
      if (++column == m_columns) {
        column = 0;
        ++row;
      }
    }
    return scratch;
  }

 private:
  const char* m_bytes;
  std::size_t m_columns;
  std::ptrdiff_t m_row_step;
  std::ptrdiff_t m_column_step;
  std::size_t m_size;
};

template <class Value>
std::optional<bool> append_rows(PyObject* object, Rows<Value>& out) {
  // Only the exact type: a subclass may make its rows differently (its __array_finalize__ runs for each one).
  if (PyList_CheckExact(object) || PyTuple_CheckExact(object)) {
    return std::nullopt;
  }
  const std::optional<bool> numpy = is_numpy_array(object);
  if (!numpy || !*numpy) {
    return numpy ? std::nullopt : std::optional<bool>(false);
  }
  const BufferView view(object, PyBUF_RECORDS_RO);
  if (view.failed()) {
    return false;
  }
  // Rows without items are left to the row walk: only it counts rows towards the signal check, and an array of
  // zero-width rows may claim more of them than memory holds.
  const ReadChunk<Value> read =
      view.held() && view.ndim() == 2 && view.extent(1) > 0 ? item_reader<Value>(view) : nullptr;
  if (read == nullptr) {
    return std::nullopt;
  }
  const std::size_t rows = view.extent(0);
  const std::size_t columns = view.extent(1);
  const std::size_t count = rows * columns;
  const bool appended = view.is_c_contiguous()
                            ? append_contiguous(view.bytes(), count, view.item_size(), read, out.open_row())
                            : append_chunked(count, read, out.open_row(), RowOrderGather(view));
  if (!appended) {
    return false;
  }
  out.end_rows(rows, columns);
  return true;
}

}  // namespace

std::optional<bool> append_array_rows(PyObject* object, Rows<double>& out) { return append_rows(object, out); }

std::optional<bool> append_array_rows(PyObject* object, Rows<std::uint64_t>& out) {
  return append_rows(object, out);
}

}  // namespace brenlox_copt::python::detail
