// utf8_text.cpp: lenient UTF-8 decoding and Unicode white-space trimming.
#include "backend/utf8_text.hpp"

#include <cstddef>

namespace brenlox_copt::backend {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

/// The Unicode White_Space property, which is wider than the ASCII space set (U+00A0, U+3000 ...).
bool is_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

unsigned char byte_at(std::string_view text, std::size_t index) { return static_cast<unsigned char>(text[index]); }

/// The code point that starts at `start` in valid UTF-8 text.
char32_t code_point_at(std::string_view text, std::size_t start) {
  const unsigned char lead = byte_at(text, start);
  if (lead < 0x80) {
    return lead;
  }
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  char32_t value = lead & (0x7Fu >> length);
  for (std::size_t i = 1; i < length; ++i) {
    value = (value << 6) | (byte_at(text, start + i) & 0x3Fu);
  }
  return value;
}

/// How many bytes of a well-formed sequence `lead` starts, with the allowed range of its second byte (which rules out
/// overlong forms, surrogates and values above U+10FFFF); 0 when `lead` cannot start one.
struct SequenceShape {
  std::size_t length;
  unsigned char second_low;
  unsigned char second_high;
};

SequenceShape shape_of(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) {
    return {2, 0x80, 0xBF};
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    return {3, lead == 0xE0 ? static_cast<unsigned char>(0xA0) : static_cast<unsigned char>(0x80),
            lead == 0xED ? static_cast<unsigned char>(0x9F) : static_cast<unsigned char>(0xBF)};
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    return {4, lead == 0xF0 ? static_cast<unsigned char>(0x90) : static_cast<unsigned char>(0x80),
            lead == 0xF4 ? static_cast<unsigned char>(0x8F) : static_cast<unsigned char>(0xBF)};
  }
  return {0, 0, 0};
}

}  // namespace

void append_utf8(std::string& out, char32_t code_point) {
  const auto put = [&out](char32_t bits) { out.push_back(static_cast<char>(bits)); };
  if (code_point < 0x80) {
    put(code_point);
  } else if (code_point < 0x800) {
    put(0xC0 | (code_point >> 6));
    put(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    put(0xE0 | (code_point >> 12));
    put(0x80 | ((code_point >> 6) & 0x3F));
    put(0x80 | (code_point & 0x3F));
  } else {
    put(0xF0 | (code_point >> 18));
    put(0x80 | ((code_point >> 12) & 0x3F));
    put(0x80 | ((code_point >> 6) & 0x3F));
    put(0x80 | (code_point & 0x3F));
  }
}

std::string decode_utf8_lossy(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t index = 0;
  while (index < bytes.size()) {
    const unsigned char lead = byte_at(bytes, index);
    if (lead < 0x80) {
      out.push_back(bytes[index]);
      ++index;
      continue;
    }
    const SequenceShape shape = shape_of(lead);
    // Count the bytes that still fit a well-formed sequence; they are replaced together (the maximal subpart).
    std::size_t taken = 1;
    while (taken < shape.length && index + taken < bytes.size()) {
      const unsigned char next = byte_at(bytes, index + taken);
      const unsigned char low = taken == 1 ? shape.second_low : 0x80;
      const unsigned char high = taken == 1 ? shape.second_high : 0xBF;
      if (next < low || next > high) {
        break;
      }
      ++taken;
    }
    if (shape.length != 0 && taken == shape.length) {
      out.append(bytes.substr(index, taken));
    } else {
      out.append(kReplacement);
    }
    index += taken;
  }
  return out;
}

std::string_view trim_white_space(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size() && is_white_space(code_point_at(text, begin))) {
    const SequenceShape shape = shape_of(byte_at(text, begin));
    begin += shape.length == 0 ? 1 : shape.length;
  }
  std::size_t end = text.size();
  while (end > begin) {
    std::size_t start = end - 1;
    while (start > begin && (byte_at(text, start) & 0xC0) == 0x80) {
      --start;
    }
    if (!is_white_space(code_point_at(text, start))) {
      break;
    }
    end = start;
  }
  return text.substr(begin, end - begin);
}

}  // namespace brenlox_copt::backend
