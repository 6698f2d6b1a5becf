// utf8_text_test.cpp: lossy UTF-8 decoding of outside text, UTF-8 encoding of code points, white-space trimming.
#include <doctest/doctest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "backend/utf8_text.hpp"

using brenlox_copt::backend::append_utf8;
using brenlox_copt::backend::decode_utf8_lossy;
using brenlox_copt::backend::trim_white_space;

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

std::string replaced(int times) {
  std::string text;
  for (int i = 0; i < times; ++i) {
    text += kReplacement;
  }
  return text;
}

}  // namespace

TEST_CASE("well-formed UTF-8 of every length passes unchanged, boundaries included") {
  for (const std::string_view text :
       {"plain", "\xC2\x80\xDF\xBF", "\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF",
        "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", "a\xC3\xA9z"}) {
    CAPTURE(text);
    CHECK(decode_utf8_lossy(text) == text);
  }
}

TEST_CASE("each maximal invalid subsequence becomes one replacement character") {
  struct Case {
    std::string_view bytes;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"\x80", replaced(1)},                                 // a lone continuation byte
      {"a\xBF" "b", "a" + replaced(1) + "b"},
      {"\xC0\xAF", replaced(2)},                             // C0 and C1 never start a sequence
      {"\xC1\xBF", replaced(2)},
      {"\xF5\x80\x80\x80", replaced(4)},                     // leads above F4
      {"\xFF", replaced(1)},
      {"\xE0\x80\x80", replaced(3)},                         // overlong three-byte form
      {"\xF0\x8F\xBF\xBF", replaced(4)},                     // overlong four-byte form
      {"\xED\xA0\x80", replaced(3)},                         // a surrogate
      {"\xF4\x90\x80\x80", replaced(4)},                     // above U+10FFFF
      {"\xE2\x82", replaced(1)},                             // cut off by the end
      {"\xF0\x9F\x98" "A", replaced(1) + "A"},               // cut off by an ASCII byte
      {"\xE2\x82\xE2\x82\xAC", replaced(1) + "\xE2\x82\xAC"},  // cut off by the next sequence
      {"\xC3", replaced(1)},
  };
  for (const Case& c : cases) {
    CAPTURE(c.bytes);
    CHECK(decode_utf8_lossy(c.bytes) == c.expected);
  }
}

TEST_CASE("code points encode in one to four bytes") {
  const std::vector<std::pair<char32_t, std::string_view>> cases = {
      {U'\x7F', "\x7F"},
      {0x80, "\xC2\x80"},
      {0x7FF, "\xDF\xBF"},
      {0x800, "\xE0\xA0\x80"},
      {0xFFFD, kReplacement},
      {0xFFFF, "\xEF\xBF\xBF"},
      {0x10000, "\xF0\x90\x80\x80"},
      {0x10FFFF, "\xF4\x8F\xBF\xBF"},
  };
  for (const auto& [code_point, bytes] : cases) {
    CAPTURE(static_cast<unsigned>(code_point));
    std::string out = "x";
    append_utf8(out, code_point);
    CHECK(out == "x" + std::string(bytes));
  }
}

TEST_CASE("trimming removes Unicode white space at both ends and nothing else") {
  const std::vector<std::pair<std::string_view, std::string_view>> cases = {
      {"  a b  ", "a b"},
      {"\t\n\v\f\r x \r\n", "x"},
      {"\xC2\x85\xC2\xA0x\xE3\x80\x80", "x"},                  // U+0085, U+00A0 ... U+3000
      {"\xE1\x9A\x80x\xE2\x80\x80\xE2\x80\x8A", "x"},          // U+1680 ... U+2000, U+200A
      {"\xE2\x80\xA8\xE2\x80\xA9x\xE2\x80\xAF\xE2\x81\x9F", "x"},  // U+2028, U+2029 ... U+202F, U+205F
      {"\xE2\x80\x80 \xE3\x80\x80", ""},                      // nothing but white space
      {"", ""},
      // Not white space: U+200B, U+180E, U+1FFF and U+2030 next to the ranges, and a four-byte character.
      {"\xE2\x80\x8Bx\xE2\x80\x8B", "\xE2\x80\x8Bx\xE2\x80\x8B"},
      {"\xE1\xA0\x8E", "\xE1\xA0\x8E"},
      {"\xE1\xBF\xBF \xE2\x80\xB0", "\xE1\xBF\xBF \xE2\x80\xB0"},
      {" \xF0\x9F\x98\x80 ", "\xF0\x9F\x98\x80"},
  };
  for (const auto& [text, trimmed] : cases) {
    CAPTURE(text);
    CHECK(trim_white_space(text) == trimmed);
  }
}
