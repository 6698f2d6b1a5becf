// json_writer.cpp: the JSON writer behind the call log and the problem views.
#include "standin/state/json_writer.hpp"

#include <array>
#include <charconv>
#include <cmath>

namespace brenlox_copt::standin {

void JsonWriter::before_value() {
  if (m_needs_comma) {
    m_out += ',';
  }
  m_needs_comma = true;
}

JsonWriter& JsonWriter::begin_array() {
  before_value();
  m_out += '[';
  m_needs_comma = false;
  return *this;
}

JsonWriter& JsonWriter::end_array() {
  m_out += ']';
  m_needs_comma = true;
  return *this;
}

JsonWriter& JsonWriter::begin_object() {
  before_value();
  m_out += '{';
  m_needs_comma = false;
  return *this;
}

JsonWriter& JsonWriter::end_object() {
  m_out += '}';
  m_needs_comma = true;
  return *this;
}

JsonWriter& JsonWriter::key(std::string_view name) {
  text(name);
  m_out += ':';
  m_needs_comma = false;
  return *this;
}

JsonWriter& JsonWriter::null() { return raw("null"); }

JsonWriter& JsonWriter::integer(std::int64_t value) { return raw(std::to_string(value)); }

JsonWriter& JsonWriter::number(double value) {
  if (std::isnan(value)) {
    return raw("NaN");
  }
  if (std::isinf(value)) {
    return raw(value > 0 ? "Infinity" : "-Infinity");
  }
  std::array<char, 32> digits{};
  const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), value);
  const std::string_view shortest(digits.data(), written.ptr);
  raw(shortest);
  if (shortest.find_first_of(".e") == std::string_view::npos) {
    m_out += ".0";
  }
  return *this;
}

JsonWriter& JsonWriter::text(std::string_view bytes) {
  static constexpr std::string_view kHex = "0123456789abcdef";
  before_value();
  m_out += '"';
  for (const char byte : bytes) {
    const auto code = static_cast<unsigned char>(byte);
    if (byte == '"' || byte == '\\') {
      m_out += '\\';
      m_out += byte;
    } else if (code >= 0x20 && code < 0x7f) {
      m_out += byte;
    } else {
      m_out += "\\u00";
      m_out += kHex[code >> 4];
      m_out += kHex[code & 0xf];
    }
  }
  m_out += '"';
  return *this;
}

JsonWriter& JsonWriter::raw(std::string_view json) {
  before_value();
  m_out += json;
  return *this;
}

}  // namespace brenlox_copt::standin
