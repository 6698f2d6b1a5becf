// number_text_target.cpp: format_number against the shortest round-trip reference: the text is positional, reads
// back as the same double, and has as few significant digits as the fewest that any decimal needs to read back.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "backend/number_text.hpp"

namespace {

[[noreturn]] void fail(const char* why, double value, const std::string& text) {
  std::fprintf(stderr, "format_number(%a) = \"%s\": %s\n", value, text.c_str(), why);
  std::abort();
}

bool reads_back(const char* text, double value) { return std::strtod(text, nullptr) == value; }

/// The fewest significant digits that read back as `value` (finite, nonzero), found with printf's correctly rounded
/// digits. Below a power of two the gap to the next double is half as wide as above it, so the nearest decimal of a
/// length may miss where its neighbour in the last digit reads back; those neighbours are tried too.
int fewest_digits(double value) {
  for (int digits = 1; digits <= 17; ++digits) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*e", digits - 1, value);
    if (reads_back(text, value)) {
      return digits;
    }
    // "-d.ddde+x" as the integer "dddd" and the power of ten of its last digit.
    std::string mantissa;
    const char* exponent = text;
    for (; *exponent != 'e'; ++exponent) {
      if (*exponent >= '0' && *exponent <= '9') {
        mantissa.push_back(*exponent);
      }
    }
    const unsigned long long nearest = std::stoull(mantissa);
    const long last_digit_power = std::strtol(exponent + 1, nullptr, 10) - (digits - 1);
    for (const unsigned long long neighbour : {nearest - 1, nearest + 1}) {
      std::snprintf(text, sizeof text, "%s%llue%ld", value < 0 ? "-" : "", neighbour, last_digit_power);
      if (reads_back(text, value)) {
        // 999 next to 1000 has a digit fewer, and 1000 next to 999 has trailing zeros.
        std::string neighbour_digits = std::to_string(neighbour);
        neighbour_digits.erase(neighbour_digits.find_last_not_of('0') + 1);
        return static_cast<int>(neighbour_digits.size());
      }
    }
  }
  return 18;
}

/// Significant digits of positional text: no leading zeros, and trailing zeros only before the point.
int significant_digits(const std::string& text) {
  std::string digits;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      digits.push_back(c);
    }
  }
  const auto first = digits.find_first_not_of('0');
  const auto last = digits.find_last_not_of('0');
  return first == std::string::npos ? 1 : static_cast<int>(last - first + 1);
}

/// Optional minus, digits without a leading zero (except "0" itself), then optionally a point and digits that do not
/// end in zero.
bool is_positional(const std::string& text) {
  const std::size_t start = text.starts_with('-') ? 1 : 0;
  const std::size_t point = text.find('.');
  const std::string integral = text.substr(start, point == std::string::npos ? std::string::npos : point - start);
  const bool integral_ok = !integral.empty() && integral.find_first_not_of("0123456789") == std::string::npos &&
                           (integral.size() == 1 || integral[0] != '0');
  if (point == std::string::npos) {
    return integral_ok;
  }
  const std::string fraction = text.substr(point + 1);
  return integral_ok && !fraction.empty() && fraction.find_first_not_of("0123456789") == std::string::npos &&
         fraction.back() != '0';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size != sizeof(double)) {
    return -1;
  }
  double value = 0;
  std::memcpy(&value, data, sizeof value);
  const std::string text = brenlox_copt::backend::format_number(value);
  if (std::isnan(value)) {
    if (text != "NaN") {
      fail("a NaN is written NaN", value, text);
    }
    return 0;
  }
  if (std::isinf(value)) {
    if (text != (value < 0 ? "-inf" : "inf")) {
      fail("an infinity is written inf or -inf", value, text);
    }
    return 0;
  }
  if (!is_positional(text)) {
    fail("not positional decimal text", value, text);
  }
  if (!reads_back(text.c_str(), value) || text.starts_with('-') != std::signbit(value)) {
    fail("does not read back as the same double", value, text);
  }
  if (value != 0 && significant_digits(text) != fewest_digits(value)) {
    fail("not the fewest significant digits", value, text);
  }
  return 0;
}
