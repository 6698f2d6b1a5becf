// number_text_test.cpp: the positional shortest round-trip text of doubles.
#include <doctest/doctest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>

#include "backend/number_text.hpp"

using brenlox_copt::backend::format_number;

TEST_CASE("numbers are written with their shortest digits and no exponent") {
  struct Case {
    double value;
    std::string text;
  };
  const Case cases[] = {
      {5.0, "5"},
      {0.25, "0.25"},
      {2.5, "2.5"},
      {-2.5, "-2.5"},
      {0.1, "0.1"},
      {0.1 + 0.2, "0.30000000000000004"},
      {123456.789, "123456.789"},
      {1e-7, "0.0000001"},
      {1e21, "1000000000000000000000"},
      {1e30, "1" + std::string(30, '0')},
      {-1e30, "-1" + std::string(30, '0')},
      {1.5e300, "15" + std::string(299, '0')},
      {5e-324, "0." + std::string(323, '0') + "5"},
      {DBL_MAX, "17976931348623157" + std::string(292, '0')},
      {0.0, "0"},
      {-0.0, "-0"},
      {2147483647.0, "2147483647"},
  };
  for (const Case& c : cases) {
    CAPTURE(c.text);
    CHECK(format_number(c.value) == c.text);
  }
}

TEST_CASE("non-finite values have fixed names, whatever the sign of a NaN") {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  CHECK(format_number(std::numeric_limits<double>::infinity()) == "inf");
  CHECK(format_number(-std::numeric_limits<double>::infinity()) == "-inf");
  CHECK(format_number(nan) == "NaN");
  CHECK(format_number(std::copysign(nan, -1.0)) == "NaN");
}
