// arguments.hpp: writes one call's arguments for the log, arrays in full and doubles exact (formats in the README).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "standin/state/json_writer.hpp"
#include "standin/state/state.hpp"

namespace brenlox_copt::standin {

/// The length of an array whose size the caller gives as `count`; nullopt when the count is negative.
[[nodiscard]] std::optional<std::size_t> array_length(int count) noexcept;

/// The length of the entry arrays of a compressed matrix: the end of its furthest item; nullopt when unknowable.
[[nodiscard]] std::optional<std::size_t> matrix_length(int count, const int* starts, const int* counts) noexcept;

class Arguments {
 public:
  explicit Arguments(const State& state);

  /// In the discard mode the edits log no arrays.
  [[nodiscard]] bool discarding() const noexcept { return m_state.controls.discard; }

  /// A handle by its name ("prob1"), "<invalid>" when it is not live, null when null.
  Arguments& handle(const void* handle);
  /// The address of a handle as a one-element list of the handle it points to on entry, or null.
  template <class Handle>
  Arguments& handle_address(Handle* const* address) {
    if (address == nullptr) {
      m_out.null();
    } else {
      m_out.begin_array();
      handle(*address);
      m_out.end_array();
    }
    return *this;
  }
  Arguments& integer(std::int64_t value);
  Arguments& number(double value);
  Arguments& text(const char* value);
  /// Arrays as lists; "<unread>" when their length cannot be known, null when null.
  Arguments& integers(const int* values, std::optional<std::size_t> length);
  Arguments& numbers(const double* values, std::optional<std::size_t> length);
  Arguments& characters(const char* values, std::optional<std::size_t> length);
  Arguments& texts(const char* const* values, std::optional<std::size_t> length);
  /// An output array: "<out>", or null.
  Arguments& output(const void* destination);
  /// An output value as a one-element list of what it holds on entry (the caller's preset), or null.
  Arguments& int_output(const int* destination);
  Arguments& number_output(const double* destination);
  /// An array the discard mode does not read: "<discarded>", or null.
  Arguments& discarded(const void* values);

  [[nodiscard]] std::string take();

 private:
  /// `marker` for a non-null pointer, null for a null one.
  Arguments& marker(const void* pointer, std::string_view marker);
  template <class T, class Write>
  Arguments& array(const T* values, std::optional<std::size_t> length, Write write);

  const State& m_state;
  JsonWriter m_out;
};

}  // namespace brenlox_copt::standin
