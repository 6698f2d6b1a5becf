// json_writer.hpp: compact JSON for the tests: doubles that read back bit for bit, texts kept byte for byte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "standin/state/export.hpp"

namespace brenlox_copt::standin {

class STANDIN_STATE_API JsonWriter {
 public:
  JsonWriter& begin_array();
  JsonWriter& end_array();
  JsonWriter& begin_object();
  JsonWriter& end_object();
  /// An object member's name; its value is written next.
  JsonWriter& key(std::string_view name);
  JsonWriter& null();
  JsonWriter& integer(std::int64_t value);
  /// Shortest text that reads back to the same bits, always with a '.' or an exponent so that Python reads a float
  /// (negative zero stays -0.0); the non-finite values as Python's json module reads them: Infinity, -Infinity, NaN.
  JsonWriter& number(double value);
  /// Printable ASCII stays; every other byte becomes \u00XX, which the tests map back to the byte (latin-1).
  JsonWriter& text(std::string_view bytes);
  /// A value that is already JSON, such as a logged argument list.
  JsonWriter& raw(std::string_view json);

  [[nodiscard]] const std::string& str() const noexcept { return m_out; }
  [[nodiscard]] std::string take() noexcept { return std::move(m_out); }

 private:
  void before_value();

  std::string m_out;
  bool m_needs_comma = false;
};

}  // namespace brenlox_copt::standin
