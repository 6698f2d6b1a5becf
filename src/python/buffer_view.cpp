// buffer_view.cpp: holding a buffer, and the readers of its items.
#include "python/buffer_view.hpp"

#include <cstring>
#include <string_view>
#include <type_traits>

#include "python/ref.hpp"

namespace brenlox_copt::python::detail {
namespace {

/// Item `index` of unaligned items of type T.
template <class T>
T item_at(const char* bytes, std::size_t index) noexcept {
  T item;
  std::memcpy(&item, bytes + index * sizeof(T), sizeof(T));
  return item;
}

/// Raises the interpreter's own refusal of this negative int, so that the message is the one-by-one conversion's.
void refuse_negative(long long value) noexcept {
  const Ref number = Ref::steal(PyLong_FromLongLong(value));
  if (number) {
    (void)PyLong_AsUnsignedLongLong(number.get());
  }
}

bool copy_doubles(const char* bytes, std::size_t count, double* out) noexcept {
  std::memcpy(out, bytes, count * sizeof(double));
  return true;
}

/// Widens `count` integers of type T into ids; false, with the first negative one refused, when there is one. The
/// lowest item is kept on the way rather than tested for, so that the loop has no exit.
template <class T>
bool widen(const char* bytes, std::size_t count, std::uint64_t* out) noexcept {
  T lowest = 0;
  for (std::size_t index = 0; index < count; ++index) {
    const T item = item_at<T>(bytes, index);
    lowest = std::min(lowest, item);
    out[index] = static_cast<std::uint64_t>(item);
  }
  if constexpr (std::is_signed_v<T>) {
    if (lowest < 0) {
      const std::uint64_t* negative =
          std::find_if(out, out + count, [](std::uint64_t id) { return static_cast<T>(id) < 0; });
      refuse_negative(static_cast<long long>(static_cast<T>(*negative)));
      return false;
    }
  }
  return true;
}

/// After a failed PyObject_GetBuffer: true, with the error cleared, when it only refuses the buffer's shape or
/// format; an interrupt, SystemExit, MemoryError or other failure stays set.
bool buffer_refused() noexcept {
  if (PyErr_ExceptionMatches(PyExc_BufferError) == 0 && PyErr_ExceptionMatches(PyExc_ValueError) == 0 &&
      PyErr_ExceptionMatches(PyExc_TypeError) == 0) {
    return false;
  }
  PyErr_Clear();
  return true;
}

}  // namespace

BufferView::BufferView(PyObject* object, int flags) noexcept {
  m_held = PyObject_GetBuffer(object, &m_view, flags) == 0;
  m_failed = !m_held && !buffer_refused();
}

BufferView::~BufferView() {
  if (m_held) {
    PyBuffer_Release(&m_view);
  }
}

char BufferView::type_code() const noexcept {
  if (!m_held) {
    return 0;
  }
  const char* format = m_view.format == nullptr ? "B" : m_view.format;
  if (format[0] == '@') {
    ++format;
  }
  return format[0] != '\0' && format[1] == '\0' ? format[0] : 0;
}

bool BufferView::is_c_contiguous() const noexcept { return m_held && PyBuffer_IsContiguous(&m_view, 'C') != 0; }

template <>
ReadChunk<double> item_reader<double>(const BufferView& view) noexcept {
  return view.type_code() == 'd' && view.item_size() == sizeof(double) ? copy_doubles : nullptr;
}

/// The integer type of a buffer's items: its signedness from the format's letter (lower case is signed), its width
/// from the item size.
template <>
ReadChunk<std::uint64_t> item_reader<std::uint64_t>(const BufferView& view) noexcept {
  constexpr std::string_view kIntegerCodes = "bBhHiIlLqQnN";
  const char code = view.type_code();
  if (code == 0 || kIntegerCodes.find(code) == std::string_view::npos) {
    return nullptr;
  }
  const bool is_signed = code >= 'a';
  switch (view.item_size()) {
    case 1: return is_signed ? widen<std::int8_t> : widen<std::uint8_t>;
    case 2: return is_signed ? widen<std::int16_t> : widen<std::uint16_t>;
    case 4: return is_signed ? widen<std::int32_t> : widen<std::uint32_t>;
    case 8: return is_signed ? widen<std::int64_t> : widen<std::uint64_t>;
    default: return nullptr;
  }
}

}  // namespace brenlox_copt::python::detail
