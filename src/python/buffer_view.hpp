// buffer_view.hpp: a buffer held for one read, and reading its items into float64 values or native integer ids a
// chunk at a time, with the very values and errors that converting the items one by one gives.
#pragma once

#include <Python.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "python/reserve.hpp"
#include "python/signal_poll.hpp"

namespace brenlox_copt::python::detail {

/// The buffer an object exposes for `flags`, given back when this value goes; not held, with no error set, when the
/// object exposes none of that kind; `failed()`, with the error set, when asking for it failed otherwise (an
/// interrupt, SystemExit, MemoryError).
class BufferView {
 public:
  BufferView(PyObject* object, int flags) noexcept;
  BufferView(const BufferView&) = delete;
  BufferView& operator=(const BufferView&) = delete;
  ~BufferView();

  [[nodiscard]] bool held() const noexcept { return m_held; }
  [[nodiscard]] bool failed() const noexcept { return m_failed; }
  [[nodiscard]] int ndim() const noexcept { return m_view.ndim; }
  /// The format's one type character in native byte order and alignment, or 0 for any other format.
  [[nodiscard]] char type_code() const noexcept;
  [[nodiscard]] std::size_t item_size() const noexcept { return static_cast<std::size_t>(m_view.itemsize); }
  [[nodiscard]] std::size_t extent(int axis) const noexcept { return static_cast<std::size_t>(m_view.shape[axis]); }
  /// The step in bytes along `axis`; only for a view requested with strides.
  [[nodiscard]] std::ptrdiff_t stride(int axis) const noexcept { return m_view.strides[axis]; }
  [[nodiscard]] bool is_c_contiguous() const noexcept;
  /// The first item, which need not be aligned: read items with memcpy.
  [[nodiscard]] const char* bytes() const noexcept { return static_cast<const char*>(m_view.buf); }

 private:
  Py_buffer m_view{};
  bool m_held = false;
  bool m_failed = false;
};

/// Reads `count` unaligned items into `out`; false, with the first refused item's error set, when one is refused.
template <class Value>
using ReadChunk = bool (*)(const char* bytes, std::size_t count, Value* out) noexcept;

/// The reader of a view's items as Value, or nullptr when its format is not one Value is read from: float64 values
/// from float64 items, ids from native integers of any size (a negative one fails as the same int would, with the
/// interpreter's OverflowError).
template <class Value>
[[nodiscard]] ReadChunk<Value> item_reader(const BufferView& view) noexcept;
template <>
[[nodiscard]] ReadChunk<double> item_reader<double>(const BufferView& view) noexcept;
template <>
[[nodiscard]] ReadChunk<std::uint64_t> item_reader<std::uint64_t>(const BufferView& view) noexcept;

/// Items go through a small array on the stack in chunks of this many: the buffer's items need no alignment, and each
/// chunk is appended in one step.
inline constexpr std::size_t kChunk = 512;

/// Appends `count` items, a chunk at a time: `fetch(first, length, scratch)` gives the address of items
/// [first, first + length) laid out one after another (in the buffer itself, or gathered into `scratch`, room for
/// kChunk items of up to 8 bytes). On a refused item or a signal handler's exception, nothing stays appended.
template <class Value, class Fetch>
bool append_chunked(std::size_t count, ReadChunk<Value> read, std::vector<Value>& out, Fetch&& fetch) {
  const std::size_t first = out.size();
  // Only a hint: a broadcast array may claim more items than memory holds, and must still stop at Ctrl-C, as walking
  // it would, rather than fail up front.
  reserve_hint([&](std::size_t hint) { reserve_more(out, hint); }, count);
  std::array<Value, kChunk> chunk;
  std::array<char, kChunk * sizeof(std::uint64_t)> scratch;
  for (std::size_t done = 0; done < count; done += kChunk) {
    const std::size_t length = std::min(kChunk, count - done);
    if (!poll_signals(done, done + length) || !read(fetch(done, length, scratch.data()), length, chunk.data())) {
      out.resize(first);
      return false;
    }
    out.insert(out.end(), chunk.data(), chunk.data() + length);
  }
  return true;
}

/// append_chunked for `count` items lying one after another from `bytes`.
template <class Value>
bool append_contiguous(const char* bytes, std::size_t count, std::size_t item_size, ReadChunk<Value> read,
                       std::vector<Value>& out) {
  return append_chunked(count, read, out, [&](std::size_t first, std::size_t, char*) {
    return bytes + first * item_size;
  });
}

}  // namespace brenlox_copt::python::detail
