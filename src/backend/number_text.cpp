// number_text.cpp: positional decimal text from the shortest round-trip digits of a double.
#include "backend/number_text.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <string_view>

namespace brenlox_copt::backend {

std::string format_number(double value) {
  if (std::isnan(value)) {
    return "NaN";
  }
  if (std::isinf(value)) {
    return value < 0 ? "-inf" : "inf";
  }
  // Scientific form gives the shortest digits and the exponent apart ("-1.25e-07"); fixed form would print the exact
  // binary value of large numbers instead of their shortest digits.
  std::array<char, 32> buffer{};
  const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::scientific);
  const std::string_view scientific(buffer.data(), static_cast<std::size_t>(written.ptr - buffer.data()));

  const std::size_t e_pos = scientific.find('e');
  const bool negative = scientific.front() == '-';
  std::string digits;
  for (const char c : scientific.substr(negative ? 1 : 0, e_pos - (negative ? 1 : 0))) {
    if (c != '.') {
      digits.push_back(c);
    }
  }
  int exponent = 0;
  const std::string_view exponent_text = scientific.substr(e_pos + 1);
  std::from_chars(exponent_text.data() + (exponent_text.front() == '+' ? 1 : 0),
                  exponent_text.data() + exponent_text.size(), exponent);

  // Digits before the decimal point; zero or less means the number is below 1.
  const long integral_digits = long{exponent} + 1;
  const auto digit_count = static_cast<long>(digits.size());
  std::string out = negative ? "-" : "";
  if (integral_digits <= 0) {
    out.append("0.");
    out.append(static_cast<std::size_t>(-integral_digits), '0');
    out.append(digits);
  } else if (integral_digits >= digit_count) {
    out.append(digits);
    out.append(static_cast<std::size_t>(integral_digits - digit_count), '0');
  } else {
    out.append(digits, 0, static_cast<std::size_t>(integral_digits));
    out.push_back('.');
    out.append(digits, static_cast<std::size_t>(integral_digits));
  }
  return out;
}

}  // namespace brenlox_copt::backend
