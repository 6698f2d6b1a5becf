// reference_utf8.hpp: a slow, independent UTF-8 reader for the fuzz targets to compare the backend's against.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brenlox_fuzz {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

/// The code point that exactly `bytes` (one to four of them) encode, if they are one well-formed sequence.
inline std::optional<char32_t> decode_one(std::string_view bytes) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
  const std::size_t length = bytes.size();
  // Lead byte patterns 0xxxxxxx, 110xxxxx, 1110xxxx, 11110xxx and the smallest value each length may carry.
  static constexpr std::array<std::uint8_t, 4> kLeadMask{0x80, 0xE0, 0xF0, 0xF8};
  static constexpr std::array<std::uint8_t, 4> kLeadBits{0x00, 0xC0, 0xE0, 0xF0};
  static constexpr std::array<char32_t, 4> kSmallest{0, 0x80, 0x800, 0x10000};
  if (length == 0 || length > 4 || (byte(0) & kLeadMask[length - 1]) != kLeadBits[length - 1]) {
    return std::nullopt;
  }
  char32_t value = byte(0) & static_cast<std::uint8_t>(~kLeadMask[length - 1]);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) {
      return std::nullopt;
    }
    value = (value << 6) | (byte(i) & 0x3Fu);
  }
  if (value < kSmallest[length - 1] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return std::nullopt;
  }
  return value;
}

/// Whether some well-formed sequence starts with `prefix`: the valid values of each length form ranges whose ends
/// fall on whole continuation bytes, so completing with the lowest or the highest continuation byte finds one.
inline bool starts_a_sequence(std::string_view prefix) {
  for (std::size_t length = prefix.size(); length <= 4; ++length) {
    for (const char fill : {'\x80', '\xBF'}) {
      std::array<char, 4> candidate{fill, fill, fill, fill};
      prefix.copy(candidate.data(), prefix.size());
      if (decode_one({candidate.data(), length})) {
        return true;
      }
    }
  }
  return false;
}

/// The code points of `bytes`, each maximal subpart of an ill-formed sequence read as one U+FFFD.
inline std::vector<char32_t> read_lossy(std::string_view bytes) {
  std::vector<char32_t> out;
  std::size_t index = 0;
  while (index < bytes.size()) {
    std::size_t taken = 0;
    for (std::size_t length = 1; length <= 4 && index + length <= bytes.size(); ++length) {
      if (const auto value = decode_one(bytes.substr(index, length))) {
        out.push_back(*value);
        taken = length;
        break;
      }
    }
    if (taken == 0) {
      taken = 1;
      while (index + taken < bytes.size() && taken < 3 && starts_a_sequence(bytes.substr(index, taken + 1))) {
        ++taken;
      }
      out.push_back(kReplacementCharacter);
    }
    index += taken;
  }
  return out;
}

/// The UTF-8 bytes of `points`, built by shifting each point into its byte pattern.
inline std::string encode(const std::vector<char32_t>& points) {
  std::string out;
  for (const char32_t point : points) {
    const int continuation_bytes = point < 0x80 ? 0 : point < 0x800 ? 1 : point < 0x10000 ? 2 : 3;
    static constexpr std::array<std::uint8_t, 4> kLeadBits{0x00, 0xC0, 0xE0, 0xF0};
    out.push_back(static_cast<char>(kLeadBits[static_cast<std::size_t>(continuation_bytes)] |
                                    (point >> (6 * continuation_bytes))));
    for (int shift = 6 * (continuation_bytes - 1); shift >= 0; shift -= 6) {
      out.push_back(static_cast<char>(0x80 | ((point >> shift) & 0x3F)));
    }
  }
  return out;
}

/// The Unicode White_Space property, listed point by point.
inline bool is_white_space(char32_t c) {
  static constexpr std::array<char32_t, 25> kWhiteSpace{
      0x09,   0x0A,   0x0B,   0x0C,   0x0D,   0x20,   0x85,   0xA0,   0x1680, 0x2000, 0x2001, 0x2002, 0x2003,
      0x2004, 0x2005, 0x2006, 0x2007, 0x2008, 0x2009, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
  for (const char32_t space : kWhiteSpace) {
    if (c == space) {
      return true;
    }
  }
  return false;
}

/// `points` without White_Space at either end.
inline std::vector<char32_t> trimmed(std::vector<char32_t> points) {
  while (!points.empty() && is_white_space(points.back())) {
    points.pop_back();
  }
  std::size_t begin = 0;
  while (begin < points.size() && is_white_space(points[begin])) {
    ++begin;
  }
  return {points.begin() + static_cast<std::ptrdiff_t>(begin), points.end()};
}

}  // namespace brenlox_fuzz
