// buffer.cpp: which objects' buffers hold exactly what iterating them yields, and reading such buffers.
#include "python/buffer.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string_view>

#include "python/module_state.hpp"
#include "python/ref.hpp"
#include "python/reserve.hpp"
#include "python/signal_poll.hpp"
#include "python/type_name.hpp"

namespace brenlox_copt::python::detail {
namespace {

/// A type of another library: the very object its module, when already imported, holds under that name; kept in the
/// running call's module state once seen, so that later checks compare one pointer. A type that merely calls itself
/// so is not it.
class ImportedType {
 public:
  constexpr ImportedType(PyObject* ModuleState::*cache, const char* module, const char* name) noexcept
      : m_cache(cache), m_module(module), m_name(name) {}
  /// nullopt with the error set when reading the type's names fails.
  [[nodiscard]] std::optional<bool> is(PyTypeObject* type) const noexcept {
    auto* const object = reinterpret_cast<PyObject*>(type);
    ModuleState* const state = CallingModule::state();
    if (state == nullptr && PyErr_Occurred() != nullptr) {
      return std::nullopt;
    }
    if (state != nullptr && object == state->*m_cache) {
      return true;
    }
    const std::optional<bool> imported = is_imported_type(type, m_module, m_name);
    if (imported && *imported && state != nullptr && state->*m_cache == nullptr) {
      state->*m_cache = Py_NewRef(object);
    }
    return imported;
  }

 private:
  PyObject* ModuleState::*m_cache;
  const char* m_module;
  const char* m_name;
};

constexpr ImportedType numpy_array(&ModuleState::numpy_array, "numpy", "ndarray");
constexpr ImportedType array_array(&ModuleState::array_array, "array", "array");

/// The types whose iteration yields exactly their buffer's items; nullopt with the error set when reading a type's
/// names fails.
std::optional<bool> is_buffer_type(PyTypeObject* type) noexcept {
  if (type == &PyBytes_Type || type == &PyByteArray_Type || type == &PyMemoryView_Type) {
    return true;
  }
  const std::optional<bool> numpy = numpy_array.is(type);
  if (!numpy || *numpy) {
    return numpy;
  }
  return array_array.is(type);
}

/// Whether `type` iterates and exposes its buffer as `base` does: it overrides none of the slots either goes through
/// (NumPy arrays iterate by indexing).
bool behaves_as(PyTypeObject* type, PyTypeObject* base) noexcept {
  for (const int slot : {Py_tp_iter, Py_sq_item, Py_bf_getbuffer}) {
    if (PyType_GetSlot(type, slot) != PyType_GetSlot(base, slot)) {
      return false;
    }
  }
  return true;
}

/// Whether iterating `object` surely yields its buffer's items. A masked array, or a subclass with its own __iter__
/// or __getitem__, is walked item by item, as iteration gives it. nullopt with the error set when reading a type's
/// names fails.
std::optional<bool> buffer_is_iteration(PyObject* object) noexcept {
  PyTypeObject* const type = Py_TYPE(object);
  for (PyTypeObject* base = type; base != nullptr; base = static_cast<PyTypeObject*>(PyType_GetSlot(base, Py_tp_base))) {
    const std::optional<bool> buffer_type = is_buffer_type(base);
    if (!buffer_type) {
      return std::nullopt;
    }
    if (*buffer_type) {
      return base == type || behaves_as(type, base);
    }
  }
  return false;
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

/// The C-contiguous buffer an object exposes, given back when this value goes; empty, with no error set, when the
/// object exposes none of that shape; `failed()`, with the error set, when asking for it failed otherwise.
class BufferView {
 public:
  explicit BufferView(PyObject* object) noexcept {
    m_held = PyObject_GetBuffer(object, &m_view, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT) == 0;
    m_failed = !m_held && !buffer_refused();
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
  [[nodiscard]] bool failed() const noexcept { return m_failed; }
  [[nodiscard]] std::size_t item_size() const noexcept { return static_cast<std::size_t>(m_view.itemsize); }
  [[nodiscard]] std::size_t count() const noexcept { return static_cast<std::size_t>(m_view.shape[0]); }
  /// The items, which need not be aligned: read them with memcpy.
  [[nodiscard]] const char* bytes() const noexcept { return static_cast<const char*>(m_view.buf); }

 private:
  Py_buffer m_view{};
  bool m_held = false;
  bool m_failed = false;
};

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

/// Items go through a small array on the stack in chunks of this many: the buffer's items need no alignment, and each
/// chunk is appended in one step.
constexpr std::size_t kChunk = 512;

template <class Value>
using ReadChunk = bool (*)(const char* bytes, std::size_t count, Value* out) noexcept;

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

/// The integer type of a buffer's items: its signedness from the format's letter (lower case is signed), its width
/// from the item size. nullptr for a format that is no integer.
ReadChunk<std::uint64_t> integer_reader(char code, std::size_t size) noexcept {
  constexpr std::string_view kIntegerCodes = "bBhHiIlLqQnN";
  if (code == 0 || kIntegerCodes.find(code) == std::string_view::npos) {
    return nullptr;
  }
  const bool is_signed = code >= 'a';
  switch (size) {
    case 1: return is_signed ? widen<std::int8_t> : widen<std::uint8_t>;
    case 2: return is_signed ? widen<std::int16_t> : widen<std::uint16_t>;
    case 4: return is_signed ? widen<std::int32_t> : widen<std::uint32_t>;
    case 8: return is_signed ? widen<std::int64_t> : widen<std::uint64_t>;
    default: return nullptr;
  }
}

/// Appends every item of the buffer, read a chunk at a time; on a refused item or a signal handler's exception, nothing
/// stays appended.
template <class Value>
bool append_chunks(const BufferView& view, ReadChunk<Value> read, std::vector<Value>& out) {
  const std::size_t first = out.size();
  reserve_more(out, view.count());
  std::array<Value, kChunk> chunk;
  for (std::size_t done = 0; done < view.count(); done += kChunk) {
    const std::size_t length = std::min(kChunk, view.count() - done);
    if (!poll_signals(done, done + length) || !read(view.bytes() + done * view.item_size(), length, chunk.data())) {
      out.resize(first);
      return false;
    }
    out.insert(out.end(), chunk.data(), chunk.data() + length);
  }
  return true;
}

/// Appends the buffer of an object whose iteration it surely is, with the reader `pick(view)` chooses for its format
/// (nullptr for a format it does not read); the results of append_buffer.
template <class Value, class Pick>
std::optional<bool> append_picked(PyObject* object, Pick&& pick, std::vector<Value>& out) {
  const std::optional<bool> iterates = buffer_is_iteration(object);
  if (!iterates || !*iterates) {
    return iterates ? std::nullopt : std::optional<bool>(false);
  }
  const BufferView view(object);
  if (view.failed()) {
    return false;
  }
  const ReadChunk<Value> read = pick(view);
  if (read == nullptr) {
    return std::nullopt;
  }
  return append_chunks(view, read, out);
}

}  // namespace

std::optional<bool> append_buffer(PyObject* object, std::vector<double>& out) {
  return append_picked(
      object,
      [](const BufferView& view) -> ReadChunk<double> {
        return view.type_code() == 'd' && view.item_size() == sizeof(double) ? copy_doubles : nullptr;
      },
      out);
}

std::optional<bool> append_buffer(PyObject* object, std::vector<std::uint64_t>& out) {
  return append_picked(
      object, [](const BufferView& view) { return integer_reader(view.type_code(), view.item_size()); }, out);
}

}  // namespace brenlox_copt::python::detail
