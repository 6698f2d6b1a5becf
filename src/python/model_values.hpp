// model_values.hpp: what the Model methods make of their converted arguments (the backend's views, constraint sets
// from sense characters, optimizer attributes from names) and of the backend's answers (ids, values).
#pragma once

#include <Python.h>

#include <cstddef>
#include <optional>
#include <span>
#include <utility>
#include <type_traits>
#include <vector>

#include "backend/model.hpp"
#include "python/errors.hpp"
#include "python/kinds.hpp"
#include "python/ref.hpp"
#include "python/sequence.hpp"

namespace brenlox_copt::python {

/// The text's bytes as the backend takes them; valid while `text` lives.
[[nodiscard]] inline std::optional<backend::TerminatedText> terminated(const std::optional<Utf8Text>& text) noexcept {
  if (!text) {
    return std::nullopt;
  }
  return text->terminated();
}

/// A present value as a list of one entry, pointing into `value` (writable when `value` is).
template <class Optional>
[[nodiscard]] auto one_entry(Optional& value) noexcept
    -> std::optional<std::span<std::remove_reference_t<decltype(*value)>>> {
  if (!value) {
    return std::nullopt;
  }
  return std::span(&*value, 1);
}

/// A present list as a view of its entries (writable when `values` is).
template <class Optional>
[[nodiscard]] auto all_entries(Optional& values) noexcept
    -> std::optional<std::span<std::remove_reference_t<decltype((*values)[0])>>> {
  if (!values) {
    return std::nullopt;
  }
  return std::span(*values);
}

[[nodiscard]] inline std::optional<std::span<const backend::TerminatedText>> all_entries(
    const std::optional<TextList>& texts) noexcept {
  if (!texts) {
    return std::nullopt;
  }
  return texts->views();
}

/// The Python layer's own length check of an argument against another: false with ValueError
/// "{label} has length {actual}, expected {expected}" when the lengths differ.
[[nodiscard]] bool require_length(const char* label, std::size_t actual, std::size_t expected) noexcept;

/// Raises ValueError "invalid sense character: {c}".
void raise_invalid_sense(char32_t sense) noexcept;

/// '<', '=' or '>' with the right-hand side; anything else: nullopt with ValueError "invalid sense character: {c}".
/// Inline, as a batch makes one set a row.
[[nodiscard]] inline std::optional<backend::ConstraintSet> constraint_set(char32_t sense, double rhs) noexcept {
  using Kind = backend::ConstraintSet::Kind;
  switch (sense) {
    case U'<':
      return backend::ConstraintSet{Kind::LessThan, rhs};
    case U'=':
      return backend::ConstraintSet{Kind::EqualTo, rhs};
    case U'>':
      return backend::ConstraintSet{Kind::GreaterThan, rhs};
    default:
      raise_invalid_sense(sense);
      return std::nullopt;
  }
}

/// "Silent" and "TimeLimit" exactly; any other name is a raw solver parameter, pointing into `name`.
[[nodiscard]] backend::OptimizerAttribute optimizer_attribute(const Utf8Text& name) noexcept;

/// A new list of the range's ids as ints.
[[nodiscard]] PyObject* id_list(backend::IdRange ids) noexcept;

/// The first id of the range as an int.
[[nodiscard]] PyObject* first_id(backend::IdRange ids) noexcept;

/// The end of every adding method: makes `make(ids)` (a new reference, or null with an error set) of the prepared
/// batch's ids, then commits it and answers with what was made. The answer is made before the native call, so that
/// running out of memory for it leaves the model as it was; a refused batch raises the backend's error.
template <class Prepared, class Make>
[[nodiscard]] PyObject* commit_and_answer(backend::BackendModel& model, backend::Result<Prepared> prepared,
                                          Make&& make) {
  if (!prepared) {
    return raise_backend_error(std::move(prepared.error()));
  }
  Ref answer = Ref::steal(make(prepared->ids()));
  if (!answer) {
    return nullptr;
  }
  if (auto committed = model.commit(std::move(*prepared)); !committed) {
    return raise_backend_error(std::move(committed.error()));
  }
  return answer.release();
}

/// A float, or None when absent.
[[nodiscard]] PyObject* float_or_none(std::optional<double> value) noexcept;

}  // namespace brenlox_copt::python
