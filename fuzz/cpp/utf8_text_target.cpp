// utf8_text_target.cpp: the backend's lossy UTF-8 reading and white-space trimming against the reference reader.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <string_view>

#include "backend/utf8_text.hpp"
#include "reference_utf8.hpp"

namespace {

void expect_same(std::string_view what, std::string_view actual, std::string_view expected) {
  if (actual != expected) {
    std::fprintf(stderr, "%.*s differs from the reference (%zu bytes against %zu)\n", static_cast<int>(what.size()),
                 what.data(), actual.size(), expected.size());
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace backend = brenlox_copt::backend;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto points = brenlox_fuzz::read_lossy(bytes);
  const std::string decoded = backend::decode_utf8_lossy(bytes);
  expect_same("decode_utf8_lossy", decoded, brenlox_fuzz::encode(points));
  expect_same("trim_white_space", backend::trim_white_space(decoded),
              brenlox_fuzz::encode(brenlox_fuzz::trimmed(points)));
  std::string appended;
  for (const char32_t point : points) {
    backend::append_utf8(appended, point);
  }
  expect_same("append_utf8", appended, decoded);
  return 0;
}
