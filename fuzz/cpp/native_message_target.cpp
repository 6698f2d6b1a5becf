// native_message_target.cpp: the native call check over whatever a library writes as a return code's message
// (unterminated, invalid UTF-8, only white space), against the reference reader.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "backend/error.hpp"
#include "backend/function_table.hpp"
#include "reference_utf8.hpp"

namespace {

/// What the library answers: its status, then the bytes it writes (as many as fit, with no terminator added).
struct Answer {
  int status = 0;
  std::string_view text;
};
Answer g_answer;

int answering_retcode_msg(int /*code*/, char* buffer, int buffer_size) {
  const std::size_t written = std::min(g_answer.text.size(), static_cast<std::size_t>(buffer_size));
  std::memcpy(buffer, g_answer.text.data(), written);
  return g_answer.status;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace backend = brenlox_copt::backend;
  if (size < 5) {
    return -1;
  }
  std::int32_t code = 0;
  std::memcpy(&code, data + 1, sizeof code);
  g_answer = {data[0] & 1, {reinterpret_cast<const char*>(data) + 5, size - 5}};
  backend::FunctionTable table;
  table.COPT_GetRetcodeMsg = answering_retcode_msg;

  std::string expected = "COPT error in COPT_Solve: code " + std::to_string(code);
  if (g_answer.status == 0) {
    // The library's buffer holds 1000 bytes; the message ends at the first NUL or at the buffer's end.
    const std::string_view written = g_answer.text.substr(0, 1000);
    const auto text = brenlox_fuzz::trimmed(brenlox_fuzz::read_lossy(written.substr(0, written.find('\0'))));
    if (!text.empty()) {
      expected += ": " + brenlox_fuzz::encode(text);
    }
  }
  const backend::BackendError error = backend::native_call_error(table, code, "COPT_Solve");
  if (error.display() != expected) {
    std::fprintf(stderr, "native call error \"%s\" differs from the reference \"%s\"\n", error.display().c_str(),
                 expected.c_str());
    std::abort();
  }
  return 0;
}
