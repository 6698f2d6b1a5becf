// utf8_text.hpp: lenient UTF-8 decoding and Unicode white-space trimming for texts that come from outside.
#pragma once

#include <string>
#include <string_view>

namespace brenlox_copt::backend {

/// Appends the UTF-8 encoding of `code_point` (a Unicode scalar value).
void append_utf8(std::string& out, char32_t code_point);

/// The bytes as valid UTF-8: every maximal invalid subsequence becomes one U+FFFD.
[[nodiscard]] std::string decode_utf8_lossy(std::string_view bytes);

/// `text` (valid UTF-8) without the characters of the Unicode White_Space property at either end.
[[nodiscard]] std::string_view trim_white_space(std::string_view text);

}  // namespace brenlox_copt::backend
