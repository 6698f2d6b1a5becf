// number_text.hpp: the one way numbers are written in messages and in client configuration values.
#pragma once

#include <string>

namespace brenlox_copt::backend {

/// Shortest decimal digits that read back as `value`, written positionally (never an exponent): 5 for 5.0,
/// 0.0000001 for 1e-7, a 1 and thirty zeros for 1e30, -0 for negative zero, and inf, -inf, NaN.
[[nodiscard]] std::string format_number(double value);

}  // namespace brenlox_copt::backend
