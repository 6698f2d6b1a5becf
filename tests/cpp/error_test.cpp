// error_test.cpp: BackendError display texts, the native call check and the shared validating checks.
#include <doctest/doctest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "backend/error.hpp"
#include "backend/function_table.hpp"

using brenlox_copt::backend::BackendError;
using brenlox_copt::backend::FunctionTable;

namespace {

/// What the scripted COPT_GetRetcodeMsg answers, and what it was asked.
struct RetcodeScript {
  int status = 0;
  std::string text;
  int seen_code = 0;
  int seen_size = 0;
  bool buffer_was_zeroed = false;
  int calls = 0;
};
RetcodeScript g_script;

int scripted_retcode_msg(int code, char* buffer, int buffer_size) {
  ++g_script.calls;
  g_script.seen_code = code;
  g_script.seen_size = buffer_size;
  g_script.buffer_was_zeroed = std::all_of(buffer, buffer + buffer_size, [](char c) { return c == 0; });
  std::memcpy(buffer, g_script.text.data(), std::min(g_script.text.size(), static_cast<std::size_t>(buffer_size)));
  return g_script.status;
}

FunctionTable scripted_table(int status, std::string text) {
  g_script = RetcodeScript{status, std::move(text)};
  FunctionTable table;
  table.COPT_GetRetcodeMsg = scripted_retcode_msg;
  return table;
}

template <class T>
std::string error_text(const brenlox_copt::backend::Result<T>& result) {
  REQUIRE_FALSE(result.has_value());
  return result.error().display();
}

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

TEST_CASE("every kind has its display text") {
  struct Case {
    BackendError error;
    std::string text;
  };
  const Case cases[] = {
      {BackendError::invalid_input("x is bad"), "Invalid input: x is bad"},
      {BackendError::invalid_variable_index(18446744073709551615u),
       "Invalid variable index: 18446744073709551615"},
      {BackendError::invalid_name("n"), "Invalid name: n"},
      {BackendError::backend_state("lock poisoned"), "Backend state error: lock poisoned"},
      {BackendError::native_call("COPT_GetIntAttr(Status)", -7),
       "COPT error in COPT_GetIntAttr(Status): code -7"},
      {BackendError::native_call_text("as it is"), "as it is"},
  };
  for (const Case& c : cases) {
    CHECK(c.error.display() == c.text);
  }
}

TEST_CASE("the native call check adds the library's text, trimmed of Unicode white space") {
  struct Case {
    const char* name;
    std::string library_text;
    std::string shown_text;  // empty: the message ends after the code
  };
  const Case cases[] = {
      {"ASCII white space", " \t out of memory\r\n", "out of memory"},
      {"no-break, ideographic, next-line and line separators",
       "\xC2\xA0\xE3\x80\x80\xC2\x85text\xE2\x80\xA8\xE3\x80\x80\xC2\xA0", "text"},
      {"inner white space kept, zero-width space is no white space", "\xE2\x80\x8B" "a  b\xE2\x80\x8B",
       "\xE2\x80\x8B" "a  b\xE2\x80\x8B"},
      {"invalid UTF-8: one U+FFFD per maximal invalid subsequence",
       "\xFF" "a\xE2\x82" "b\xED\xA0\x80" "c\xC0\xAF" "d\xF0\x9F\x98\x80" "e\xC3",
       "\xEF\xBF\xBD" "a\xEF\xBF\xBD" "b\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD" "c\xEF\xBF\xBD\xEF\xBF\xBD"
       "d\xF0\x9F\x98\x80" "e\xEF\xBF\xBD"},
      {"text ends at the first zero byte", std::string("first\0second", 12), "first"},
      {"empty text", "", ""},
      {"white space only", " \xE3\x80\x80\t\xC2\xA0", ""},
      {"a full buffer without terminator is read to its end, not past it", std::string(1200, 'a'),
       std::string(1000, 'a')},
  };
  for (const Case& c : cases) {
    CAPTURE(c.name);
    const FunctionTable table = scripted_table(0, c.library_text);
    const BackendError error = brenlox_copt::backend::native_call_error(table, 3, "COPT_AddCols");
    if (c.shown_text.empty()) {
      CHECK(error.display() == "COPT error in COPT_AddCols: code 3");
    } else {
      CHECK(error.display() == "COPT error in COPT_AddCols: code 3: " + c.shown_text);
    }
  }
  CHECK(g_script.seen_code == 3);
  CHECK(g_script.seen_size == 1000);
  CHECK(g_script.buffer_was_zeroed);
}

TEST_CASE("the native call check keeps only the code when the lookup fails, and shows negative codes") {
  const FunctionTable failing = scripted_table(1, "ignored text");
  const BackendError error = brenlox_copt::backend::native_call_error(failing, -2, "COPT_GetDblAttr(ObjVal)");
  CHECK(error.display() == "COPT error in COPT_GetDblAttr(ObjVal): code -2");

  const FunctionTable describing = scripted_table(0, "bad");
  CHECK(brenlox_copt::backend::native_call_error(describing, -2, "COPT_Solve").display() ==
        "COPT error in COPT_Solve: code -2: bad");
  CHECK(g_script.seen_code == -2);
}

TEST_CASE("check_call passes zero without asking the library, and checks anything else") {
  const FunctionTable table = scripted_table(0, "why");
  CHECK(brenlox_copt::backend::check_call(table, 0, "COPT_Update").has_value());
  CHECK(g_script.calls == 0);
  CHECK(error_text(brenlox_copt::backend::check_call(table, 9, "COPT_Update")) == "COPT error in COPT_Update: code 9: why");
}

TEST_CASE("to_c_int accepts up to 2147483647") {
  using brenlox_copt::backend::to_c_int;
  CHECK(to_c_int(0, "count").value() == 0);
  CHECK(to_c_int(2147483647, "count").value() == 2147483647);
  CHECK(error_text(to_c_int(2147483648u, "number of variables")) ==
        "Invalid input: number of variables exceeds COPT's c_int range");
  CHECK(error_text(to_c_int(std::numeric_limits<std::uint64_t>::max(), "count")) ==
        "Invalid input: count exceeds COPT's c_int range");
}

TEST_CASE("check_length passes equal lengths and names both otherwise") {
  using brenlox_copt::backend::check_length;
  CHECK(check_length(4, 4, "variable names").has_value());
  CHECK(error_text(check_length(3, 4, "variable names")) == "Invalid input: variable names has length 3, expected 4");
}

TEST_CASE("check_finite refuses infinities and every NaN") {
  using brenlox_copt::backend::check_finite;
  CHECK(check_finite(std::numeric_limits<double>::max(), "lower bound").has_value());
  CHECK(check_finite(-std::numeric_limits<double>::denorm_min(), "lower bound").has_value());
  CHECK(error_text(check_finite(kInf, "rhs")) == "Invalid input: rhs must be finite, got inf");
  CHECK(error_text(check_finite(-kInf, "rhs")) == "Invalid input: rhs must be finite, got -inf");
  CHECK(error_text(check_finite(kNaN, "rhs")) == "Invalid input: rhs must be finite, got NaN");
  CHECK(error_text(check_finite(-kNaN, "rhs")) == "Invalid input: rhs must be finite, got NaN");
  CHECK(error_text(check_finite(std::numeric_limits<double>::signaling_NaN(), "rhs")) ==
        "Invalid input: rhs must be finite, got NaN");
}

TEST_CASE("check_no_nul refuses a zero byte anywhere, naming the kind of name") {
  using brenlox_copt::backend::check_no_nul;
  CHECK(check_no_nul("x0", "variable name").has_value());
  CHECK(check_no_nul("", "variable name").has_value());
  for (const std::string& name : {std::string("\0x", 2), std::string("x\0", 2), std::string("a\0b", 3)}) {
    const auto result = check_no_nul(name, "variable name");
    REQUIRE_FALSE(result.has_value());
    CHECK(result.error().display() == "Invalid name: variable name contains an embedded NUL byte");
  }
}
