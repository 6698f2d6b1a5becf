// sequence.hpp: the sequence kinds: SequenceOf<K> into one contiguous vector, and sequences of sequences into a
// flat Rows value (one values vector plus row offsets, no allocation per row).
#pragma once

#include <Python.h>

#include <algorithm>
#include <cstddef>
#include <exception>
#include <optional>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

#include "backend/memory_advice.hpp"
#include "backend/text.hpp"
#include "python/buffer.hpp"
#include "python/kinds.hpp"
#include "python/ref.hpp"

// The per-item steps of a sequence walk must be inlined into its loop, and the walks themselves into the row loop of a
// sequence of sequences: a call per item or per short row costs as much as the conversion itself.
#if defined(__GNUC__)
#define BRENLOX_INLINE_STEP __attribute__((always_inline))
#else
#define BRENLOX_INLINE_STEP
#endif

namespace brenlox_copt::python {

/// The texts of a sequence argument: the strs that own the bytes, and beside them the views the backend takes as
/// one span.
class TextList {
 public:
  void reserve(std::size_t count) {
    m_owners.reserve(count);
    m_views.reserve(count);
  }
  void push_back(Utf8Text&& text) {
    m_views.push_back(text.terminated());
    m_owners.push_back(std::move(text.m_owner));
  }

  [[nodiscard]] std::size_t size() const noexcept { return m_views.size(); }
  [[nodiscard]] std::span<const backend::TerminatedText> views() const noexcept { return m_views; }

 private:
  std::vector<Ref> m_owners;
  std::vector<backend::TerminatedText> m_views;
};

namespace detail {
/// Reserves room for `count` values; a large vector of plain values, about to be filled once, is advised onto huge
/// pages first (most of what filling fresh memory costs is its page faults).
template <class Values>
void reserve_large(Values& values, std::size_t count) {
  values.reserve(count);
  if constexpr (requires { typename Values::value_type; }) {
    using Value = typename Values::value_type;
    if constexpr (std::is_trivially_copyable_v<Value>) {
      backend::advise_huge_pages(values.data(), values.capacity() * sizeof(Value));
    }
  }
}
}  // namespace detail

/// A sequence of sequences stored flat: every row's values one after another in `values()`, and `size() + 1`
/// offsets, row i spanning values [offsets[i], offsets[i + 1]).
template <class T>
class Rows {
 public:
  [[nodiscard]] std::size_t size() const noexcept { return m_offsets.size() - 1; }
  [[nodiscard]] std::span<const T> operator[](std::size_t row) const noexcept {
    return std::span<const T>(m_values).subspan(m_offsets[row], m_offsets[row + 1] - m_offsets[row]);
  }
  [[nodiscard]] std::span<const T> values() const noexcept { return m_values; }
  [[nodiscard]] std::span<const std::size_t> offsets() const noexcept { return m_offsets; }
  /// Takes the flat values out and gives the offsets' memory back at once; only destruction may follow.
  [[nodiscard]] std::vector<T> release_values() && noexcept {
    std::vector<std::size_t>().swap(m_offsets);
    return std::move(m_values);
  }

  // Building, used by the conversion.
  void reserve_rows(std::size_t rows) { detail::reserve_large(m_offsets, rows + 1); }
  void reserve_values(std::size_t count) { detail::reserve_large(m_values, count); }
  /// Makes room for a row of `length` values, growing geometrically so that rows do not each reallocate.
  void reserve_row(std::size_t length) {
    const std::size_t needed = m_values.size() + length;
    if (needed > m_values.capacity()) {
      detail::reserve_large(m_values, std::max(needed, 2 * m_values.capacity()));
    }
  }
  void push_value(T value) { m_values.push_back(value); }
  void push_values(std::span<const T> values) { m_values.insert(m_values.end(), values.begin(), values.end()); }
  void end_row() { m_offsets.push_back(m_values.size()); }

 private:
  std::vector<T> m_values;
  std::vector<std::size_t> m_offsets = std::vector<std::size_t>(1, 0);
};

namespace detail {

/// A reported length is only a hint: a __len__ may claim far more than iteration yields, so failing to reserve
/// that much is not an error (iteration decides the real size).
template <class Reserve>
void reserve_hint(Reserve&& reserve, std::size_t count) noexcept {
  try {
    reserve(count);
  } catch (const std::exception&) {
  }
}

/// Whether converting `item` by Kind surely runs no Python code, so that the list holding it cannot change meanwhile:
/// such items are read without taking a reference and without re-reading the list's length. Kinds say so with
/// `static bool is_plain(PyObject*)`; without it no item is plain.
template <class Kind>
bool is_plain_item(PyObject* item) noexcept {
  if constexpr (requires { Kind::is_plain(item); }) {
    return Kind::is_plain(item);
  } else {
    return false;
  }
}

/// Raises the error for an object that is a str or fails PySequence_Check and returns false; true otherwise.
bool accepts_as_sequence(PyObject* object) noexcept;

/// The length PyObject_Size reports, or 0 (error cleared) when it reports none.
std::size_t size_hint(PyObject* object) noexcept;

/// For an exact list or tuple, the summed lengths of those of its items that are exact lists or tuples (0 for
/// anything else). Reading them runs no Python code, and reserving the total up front spares the values of a
/// sequence of sequences their growth copies.
std::size_t nested_size_hint(PyObject* object) noexcept;

/// Calls `sink.reserve(length)` once and then `sink.append(item)` for every item in iteration order, stopping at the
/// first failure; Item is the items' kind. Exact lists and tuples are read directly; a list is re-measured after every
/// item whose conversion may have run Python code, so a list changed meanwhile is walked exactly as its iterator would.
template <class Item, class Sink>
BRENLOX_INLINE_STEP inline bool walk_sequence(PyObject* object, Sink& sink) {
  const auto reserve = [&](std::size_t count) { sink.reserve(count); };
  if (PyList_CheckExact(object)) {
    Py_ssize_t length = PyList_Size(object);
    reserve_hint(reserve, static_cast<std::size_t>(length));
    for (Py_ssize_t index = 0; index < length; ++index) {
      PyObject* item = PyList_GetItem(object, index);
      if (is_plain_item<Item>(item)) {
        if (!sink.append(item)) {
          return false;
        }
        continue;
      }
      const Ref held = Ref::borrow(item);
      if (!sink.append(item)) {
        return false;
      }
      length = PyList_Size(object);
    }
    return true;
  }
  if (PyTuple_CheckExact(object)) {
    // A tuple cannot change, and whoever passed it keeps it (and so its items) alive.
    const Py_ssize_t length = PyTuple_Size(object);
    reserve_hint(reserve, static_cast<std::size_t>(length));
    for (Py_ssize_t index = 0; index < length; ++index) {
      if (!sink.append(PyTuple_GetItem(object, index))) {
        return false;
      }
    }
    return true;
  }
  if (!accepts_as_sequence(object)) {
    return false;
  }
  reserve_hint(reserve, size_hint(object));
  const Ref iterator = Ref::steal(PyObject_GetIter(object));
  if (!iterator) {
    return false;
  }
  while (const Ref item = Ref::steal(PyIter_Next(iterator.get()))) {
    if (!sink.append(item.get())) {
      return false;
    }
  }
  return PyErr_Occurred() == nullptr;
}

/// walk_sequence with the buffer fast path first: an object whose buffer is what iterating it yields, and which exposes
/// a one-dimensional C-contiguous buffer of a format Item reads (buffer.hpp), hands its values to `sink.push(values)`
/// straight from memory a span at a time; any other object is walked item by item.
template <class Item, class Sink>
BRENLOX_INLINE_STEP inline bool walk_values(PyObject* object, Sink& sink) {
  if constexpr (kReadsBuffers<Item>) {
    if (!PyList_CheckExact(object) && !PyTuple_CheckExact(object) && buffer_is_iteration(object)) {
      const BufferView view(object);
      if (view.type_code() != 0) {
        reserve_hint([&](std::size_t count) { sink.reserve(count); }, view.count());
        const auto push = [&](auto values) { sink.push(values); };
        if (const std::optional<bool> done = read_buffer<Item>(view, push)) {
          return *done;
        }
      }
    }
  }
  return walk_sequence<Item>(object, sink);
}

template <class Kind>
struct SequenceValue {
  using Type = std::vector<typename Kind::Value>;
};
template <>
struct SequenceValue<Text> {
  using Type = TextList;
};

template <class Kind>
inline constexpr bool is_sequence_v = false;

}  // namespace detail

/// A sequence (list, tuple, range, bytes, any object passing PySequence_Check) other than a str, each item
/// converted by Item. A str: TypeError "Can't extract `str` to `Vec`"; other objects: the downcast TypeError with
/// target 'Sequence'; the first item Item refuses: that item's error. Values: std::vector<Item::Value>, TextList
/// for Text, and Rows<Inner::Value> for SequenceOf<Inner> items.
template <class Item>
struct SequenceOf;

namespace detail {
template <class Inner>
inline constexpr bool is_sequence_v<SequenceOf<Inner>> = true;
template <class Inner>
struct SequenceValue<SequenceOf<Inner>> {
  static_assert(!is_sequence_v<Inner>, "sequences nest two levels deep at most");
  static_assert(std::is_trivially_copyable_v<typename Inner::Value>, "rows hold plain values");
  using Type = Rows<typename Inner::Value>;
};
}  // namespace detail

namespace detail {

/// Where a flat sequence's values go: one vector, item by item or a span at a time.
template <class Item>
struct VectorSink {
  typename SequenceValue<Item>::Type& out;

  void reserve(std::size_t count) { reserve_large(out, count); }
  BRENLOX_INLINE_STEP bool append(PyObject* item) {
    typename Item::Value value{};
    if (!Item::convert(item, value)) {
      return false;
    }
    out.push_back(std::move(value));
    return true;
  }
  template <class Values>
  void push(const Values& values) {
    out.insert(out.end(), values.begin(), values.end());
  }
};

/// Where the values of one row of a sequence of sequences go: the end of the flat values.
template <class Item>
struct RowSink {
  Rows<typename Item::Value>& out;

  void reserve(std::size_t length) { out.reserve_row(length); }
  BRENLOX_INLINE_STEP bool append(PyObject* item) {
    typename Item::Value value{};
    if (!Item::convert(item, value)) {
      return false;
    }
    out.push_value(value);
    return true;
  }
  void push(std::span<const typename Item::Value> values) { out.push_values(values); }
};

/// Where the rows of a sequence of sequences go: each row's values, then the row's end.
template <class Item>
struct RowsSink {
  Rows<typename Item::Value>& out;

  void reserve(std::size_t rows) { out.reserve_rows(rows); }
  BRENLOX_INLINE_STEP bool append(PyObject* row) {
    RowSink<Item> values{out};
    if (!walk_values<Item>(row, values)) {
      return false;
    }
    out.end_row();
    return true;
  }
};

template <class Item>
bool convert_flat(PyObject* object, typename SequenceValue<Item>::Type& out) {
  VectorSink<Item> sink{out};
  return walk_values<Item>(object, sink);
}

template <class Item>
bool convert_nested(PyObject* object, Rows<typename Item::Value>& out) {
  reserve_hint([&](std::size_t count) { out.reserve_values(count); }, nested_size_hint(object));
  RowsSink<Item> sink{out};
  return walk_sequence<SequenceOf<Item>>(object, sink);
}

}  // namespace detail

template <class Item>
struct SequenceOf {
  using ItemKind = Item;
  using Value = typename detail::SequenceValue<Item>::Type;

  static bool convert(PyObject* object, Value& out) {
    if constexpr (detail::is_sequence_v<Item>) {
      return detail::convert_nested<typename Item::ItemKind>(object, out);
    } else {
      return detail::convert_flat<Item>(object, out);
    }
  }
};

}  // namespace brenlox_copt::python
