// buffer.hpp: the fast path of sequence arguments that expose a C-contiguous one-dimensional buffer (NumPy arrays,
// array.array, bytes): float64 values for Number items and native integers for UnsignedInt items are read straight
// from memory in chunks, with the very values and errors that converting the items one by one gives.
#pragma once

#include <Python.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <type_traits>

#include "python/kinds.hpp"
#include "python/ref.hpp"

namespace brenlox_copt::python::detail {

/// The C-contiguous buffer an object exposes, given back when this value goes; empty, with no error set, when the
/// object exposes none of that shape.
class BufferView {
 public:
  explicit BufferView(PyObject* object) noexcept {
    m_held = PyObject_GetBuffer(object, &m_view, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT) == 0;
    if (!m_held) {
      PyErr_Clear();
    }
  }
  BufferView(const BufferView&) = delete;
  BufferView& operator=(const BufferView&) = delete;
  ~BufferView() {
    if (m_held) {
      PyBuffer_Release(&m_view);
    }
  }

  /// The format's one type character in native byte order and alignment, or 0 for any other format or shape.
  [[nodiscard]] char type_code() const noexcept {
    if (!m_held || m_view.ndim != 1) {
      return 0;
    }
    const char* format = m_view.format == nullptr ? "B" : m_view.format;
    if (format[0] == '@') {
      ++format;
    }
    return format[0] != '\0' && format[1] == '\0' ? format[0] : 0;
  }
  [[nodiscard]] std::size_t item_size() const noexcept { return static_cast<std::size_t>(m_view.itemsize); }
  [[nodiscard]] std::size_t count() const noexcept { return static_cast<std::size_t>(m_view.shape[0]); }
  /// Copies `length` items of type T from item `first` on into `out` (items may be unaligned, so they are copied).
  template <class T>
  void copy_items(std::size_t first, std::size_t length, T* out) const noexcept {
    std::memcpy(out, static_cast<const char*>(m_view.buf) + first * sizeof(T), length * sizeof(T));
  }

 private:
  Py_buffer m_view{};
  bool m_held = false;
};

/// Whether iterating `object` surely yields its buffer's items: true for bytes, bytearray, memoryview, NumPy arrays,
/// array.array, and their subclasses that change neither how they iterate nor their buffer. A masked array, or a
/// subclass with its own __iter__ or __getitem__, is walked item by item, as iteration gives it.
[[nodiscard]] bool buffer_is_iteration(PyObject* object) noexcept;

template <class Item>
inline constexpr bool kReadsBuffers = std::is_same_v<Item, Number> || std::is_same_v<Item, UnsignedInt>;

/// Items go through a small array on the stack in chunks of this many: the buffer's items need no alignment, and
/// the values arrive as spans, each appended in one step.
inline constexpr std::size_t kBufferChunk = 512;

/// Raises the interpreter's own refusal of this negative int, so that the message is the one-by-one conversion's.
template <class T>
void refuse_negative(T value) noexcept {
  const Ref number = Ref::steal(PyLong_FromLongLong(static_cast<long long>(value)));
  if (number) {
    (void)PyLong_AsUnsignedLongLong(number.get());
  }
}

/// Pushes every item of a buffer of native T, as Value, one chunk at a time. A negative item becoming an unsigned
/// id fails as the same int would.
template <class T, class Value, class Push>
bool push_chunks(const BufferView& view, Push& push) {
  std::array<T, kBufferChunk> items;
  for (std::size_t first = 0; first < view.count(); first += kBufferChunk) {
    const std::size_t length = std::min(kBufferChunk, view.count() - first);
    view.copy_items(first, length, items.data());
    if constexpr (std::is_same_v<T, Value>) {
      push(std::span<const Value>(items.data(), length));
    } else {
      if constexpr (std::is_signed_v<T>) {
        const auto* negative = std::find_if(items.data(), items.data() + length, [](T item) { return item < 0; });
        if (negative != items.data() + length) {
          refuse_negative(*negative);
          return false;
        }
      }
      std::array<Value, kBufferChunk> values;
      std::copy_n(items.data(), length, values.data());
      push(std::span<const Value>(values.data(), length));
    }
  }
  return true;
}

/// Pushes every item of the buffer as Item converts it; nullopt (nothing pushed) when Item has no fast path for the
/// buffer's format, false with the item's error set, true when all are pushed.
template <class Item, class Push>
std::optional<bool> read_buffer(const BufferView& view, Push& push) {
  const char code = view.type_code();
  if constexpr (std::is_same_v<Item, Number>) {
    if (code != 'd' || view.item_size() != sizeof(double)) {
      return std::nullopt;
    }
    return push_chunks<double, double>(view, push);
  } else {
    const auto as = [&]<class T>(T /*type*/) -> std::optional<bool> {
      if (view.item_size() != sizeof(T)) {
        return std::nullopt;
      }
      return push_chunks<T, std::uint64_t>(view, push);
    };
    switch (code) {
      case 'b': return as(static_cast<signed char>(0));
      case 'B': return as(static_cast<unsigned char>(0));
      case 'h': return as(static_cast<short>(0));
      case 'H': return as(static_cast<unsigned short>(0));
      case 'i': return as(0);
      case 'I': return as(0U);
      case 'l': return as(0L);
      case 'L': return as(0UL);
      case 'q': return as(0LL);
      case 'Q': return as(0ULL);
      case 'n': return as(static_cast<Py_ssize_t>(0));
      case 'N': return as(static_cast<std::size_t>(0));
      default: return std::nullopt;
    }
  }
}

}  // namespace brenlox_copt::python::detail
