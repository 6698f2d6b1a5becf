// sequence.hpp: the sequence kinds: SequenceOf<K> into one contiguous vector, and sequences of sequences into a
// flat Rows value (rows.hpp).
#pragma once

#include <Python.h>

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

#include "backend/text.hpp"
#include "python/array_rows.hpp"
#include "python/buffer.hpp"
#include "python/kinds.hpp"
#include "python/ref.hpp"
#include "python/reserve.hpp"
#include "python/rows.hpp"
#include "python/signal_poll.hpp"

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
  [[nodiscard]] std::size_t capacity() const noexcept { return m_views.capacity(); }
  [[nodiscard]] std::span<const backend::TerminatedText> views() const noexcept { return m_views; }

 private:
  std::vector<Ref> m_owners;
  std::vector<backend::TerminatedText> m_views;
};

namespace detail {

/// Whether Kind tells the items whose conversion surely runs no Python code, so that the list holding them cannot
/// change meanwhile: such items are read without taking a reference and without measuring the list again. Kinds say
/// so with `static bool is_plain(PyObject*)`.
template <class Kind>
inline constexpr bool kHasPlainItems = requires(PyObject* item) { Kind::is_plain(item); };

/// For an exact list or tuple, the summed lengths of those of its items that are exact lists, tuples or NumPy arrays
/// (0 for anything else); nullopt with the error set when measuring one fails other than by having no length.
/// Reading them runs no Python code, and reserving the total up front spares the values of a sequence of sequences
/// their growth copies.
std::optional<std::size_t> nested_size_hint(PyObject* object) noexcept;

/// A sink seen through two plain functions, so that what pays for Python code per item anyway (walking sequences
/// other than exact lists and tuples, and items that run Python code) is compiled once, not once per kind of item.
class SinkRef {
 public:
  template <class Sink>
  explicit SinkRef(Sink& sink) noexcept
      : m_sink(&sink),
        m_reserve([](void* to, std::size_t count) noexcept {
          reserve_hint([&](std::size_t hint) { static_cast<Sink*>(to)->reserve(hint); }, count);
        }),
        m_append([](void* to, PyObject* item) { return static_cast<Sink*>(to)->append(item); }) {}

  void reserve(std::size_t count) const noexcept { m_reserve(m_sink, count); }
  [[nodiscard]] bool append(PyObject* item) const { return m_append(m_sink, item); }

 private:
  void* m_sink;
  void (*m_reserve)(void*, std::size_t) noexcept;
  bool (*m_append)(void*, PyObject*);
};

/// Walks any object but an exact list or tuple by iterating it, after refusing a str or an object failing
/// PySequence_Check.
bool walk_iteration(PyObject* object, const SinkRef& sink);

/// Appends an item whose conversion may run Python code, holding a reference to it meanwhile: that code may drop it
/// from the list it came from (which is then measured again).
bool append_held(PyObject* item, const SinkRef& sink);

/// Calls `sink.reserve(length)` once and then `sink.append(item)` for every item in iteration order, stopping at the
/// first failure or at a signal handler's exception; Item is the items' kind. Exact lists and tuples are read directly;
/// a list is re-measured after every item whose conversion may have run Python code, so a list changed meanwhile is
/// walked exactly as its iterator would.
template <class Item, class Sink>
BRENLOX_INLINE_STEP inline bool walk_sequence(PyObject* object, Sink& sink) {
  const bool is_list = PyList_CheckExact(object);
  if (!is_list && !PyTuple_CheckExact(object)) {
    return walk_iteration(object, SinkRef(sink));
  }
  const auto measure = is_list ? PyList_Size : PyTuple_Size;
  const auto item_at = is_list ? PyList_GetItem : PyTuple_GetItem;
  Py_ssize_t length = measure(object);
  reserve_hint([&](std::size_t count) { sink.reserve(count); }, static_cast<std::size_t>(length));
  for (Py_ssize_t index = 0; index < length; ++index) {
    if (signal_check_due(static_cast<std::size_t>(index), static_cast<std::size_t>(index) + 1)) {
      if (PyErr_CheckSignals() != 0) {
        return false;
      }
      // The handlers may have changed the list.
      length = measure(object);
      if (index >= length) {
        break;
      }
    }
    PyObject* item = item_at(object, index);
    if constexpr (kHasPlainItems<Item>) {
      if (Item::is_plain(item)) {
        if (!sink.append(item)) {
          return false;
        }
        continue;
      }
      // The other items run Python code, which costs far more than a call: they go through the sink's functions.
      if (!append_held(item, SinkRef(sink))) {
        return false;
      }
    } else {
      const Ref held = Ref::new_reference(item);
      if (!sink.append(item)) {
        return false;
      }
    }
    length = measure(object);
  }
  return true;
}

template <class Kind>
struct SequenceValue {
  using Type = std::vector<typename Kind::Value>;
};
template <>
struct SequenceValue<Text> {
  using Type = TextList;
};

/// Where the items of a flat sequence, or of one row, go: converted by Item and appended to `out`.
template <class Item>
struct AppendItems {
  typename SequenceValue<Item>::Type& out;

  void reserve(std::size_t count) { reserve_more(out, count); }
  BRENLOX_INLINE_STEP bool append(PyObject* item) {
    typename Item::Value value{};
    if (!Item::convert(item, value)) {
      return false;
    }
    out.push_back(std::move(value));
    return true;
  }
};

/// Where a sequence of one-character strs goes. Such sequences repeat a few str objects (a sense or a type for every
/// item), so the last few exact strs read are kept, held, with their code points: an item that is one of them is
/// read with a comparison. Holding them keeps the comparison sound whatever code runs meanwhile, and an exact str
/// never changes.
template <>
struct AppendItems<Character> {
  static constexpr std::size_t kKept = 4;

  std::vector<char32_t>& out;
  std::array<Ref, kKept> kept{};
  std::array<char32_t, kKept> kept_values{};
  std::size_t next_kept = 0;

  void reserve(std::size_t count) { reserve_more(out, count); }
  BRENLOX_INLINE_STEP bool append(PyObject* item) {
    for (std::size_t slot = 0; slot < kKept; ++slot) {
      if (kept[slot].get() == item) {
        out.push_back(kept_values[slot]);
        return true;
      }
    }
    char32_t value = 0;
    if (!Character::convert(item, value)) {
      return false;
    }
    out.push_back(value);
    if (PyUnicode_CheckExact(item)) {
      kept[next_kept] = Ref::new_reference(item);
      kept_values[next_kept] = value;
      next_kept = (next_kept + 1) % kKept;
    }
    return true;
  }
};

/// walk_sequence with the buffer fast path first: an object whose buffer is what iterating it yields, and which exposes
/// a one-dimensional C-contiguous buffer of a format Item reads (buffer.hpp), has its values appended straight from
/// memory; any other object is walked item by item. `known` carries the array type the walk has recognised already.
template <class Item>
BRENLOX_INLINE_STEP inline bool walk_values(PyObject* object, typename SequenceValue<Item>::Type& out,
                                            KnownBufferType& known) {
  AppendItems<Item> sink{out};
  if constexpr (kReadsBuffers<Item>) {
    if (!PyList_CheckExact(object) && !PyTuple_CheckExact(object)) {
      if (const std::optional<bool> done = append_buffer(object, out, known)) {
        return *done;
      }
    }
  }
  return walk_sequence<Item>(object, sink);
}

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

/// Where the rows of a sequence of sequences go: each row's values, then the row's end.
template <class Item>
struct AppendRows {
  Rows<typename Item::Value>& out;
  KnownBufferType known{};

  void reserve(std::size_t rows) { out.reserve_rows(rows); }
  BRENLOX_INLINE_STEP bool append(PyObject* row) {
    const std::size_t before = out.values().size();
    if (!walk_values<Item>(row, out.open_row(), known)) {
      return false;
    }
    out.end_row();
    // Rows too short for their own walk to reach a check count towards one by their values.
    return poll_signals(before, out.values().size());
  }
};

}  // namespace detail

template <class Item>
struct SequenceOf {
  using ItemKind = Item;
  using Value = typename detail::SequenceValue<Item>::Type;

  static bool convert(PyObject* object, Value& out) {
    if constexpr (detail::is_sequence_v<Item>) {
      using Inner = typename Item::ItemKind;
      if constexpr (detail::kReadsBuffers<Inner>) {
        if (const std::optional<bool> done = detail::append_array_rows(object, out)) {
          return *done;
        }
      }
      const std::optional<std::size_t> values = detail::nested_size_hint(object);
      if (!values) {
        return false;
      }
      detail::reserve_hint([&](std::size_t count) { out.reserve_values(count); }, *values);
      detail::AppendRows<Inner> rows{out};
      return detail::walk_sequence<Item>(object, rows);
    } else {
      detail::KnownBufferType known;
      return detail::walk_values<Item>(object, out, known);
    }
  }
};

}  // namespace brenlox_copt::python
