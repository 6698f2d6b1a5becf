// error.cpp: display texts of BackendError, the native call check and the shared validating checks.
#include "backend/error.hpp"

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

#include "backend/function_table.hpp"
#include "backend/number_text.hpp"
#include "backend/utf8_text.hpp"

namespace brenlox_copt::backend {
namespace {

constexpr int kRetcodeBufferSize = 1000;

std::string concat(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (const std::string_view part : parts) {
    out.append(part);
  }
  return out;
}

}  // namespace

BackendError BackendError::invalid_input(std::string message) {
  return BackendError(Text{Kind::InvalidInput, std::move(message)});
}

BackendError BackendError::invalid_variable_index(std::uint64_t index) { return BackendError(VariableIndex{index}); }

BackendError BackendError::invalid_name(std::string message) {
  return BackendError(Text{Kind::InvalidName, std::move(message)});
}

BackendError BackendError::backend_state(std::string message) {
  return BackendError(Text{Kind::BackendState, std::move(message)});
}

BackendError BackendError::native_call(const char* operation, std::int32_t code) {
  return BackendError(Native{operation, code});
}

BackendError BackendError::native_call_text(std::string message) {
  return BackendError(Text{Kind::NativeCallText, std::move(message)});
}

std::string BackendError::display() const {
  return std::visit(
      [](const auto& value) -> std::string {
        using Value = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<Value, VariableIndex>) {
          return concat({"Invalid variable index: ", std::to_string(value.index)});
        } else if constexpr (std::is_same_v<Value, Native>) {
          return concat({"COPT error in ", value.operation, ": code ", std::to_string(value.code)});
        } else {
          switch (value.kind) {
            case Kind::InvalidInput:
              return concat({"Invalid input: ", value.message});
            case Kind::InvalidName:
              return concat({"Invalid name: ", value.message});
            case Kind::BackendState:
              return concat({"Backend state error: ", value.message});
            default:
              return value.message;
          }
        }
      },
      m_value);
}

BackendError native_call_error(const FunctionTable& table, std::int32_t code, const char* operation) {
  std::array<char, kRetcodeBufferSize> buffer{};
  if (table.COPT_GetRetcodeMsg(code, buffer.data(), kRetcodeBufferSize) != 0) {
    return BackendError::native_call(operation, code);
  }
  // Bounded: a library that fills the whole buffer without a terminator must not make us read past it.
  const std::string decoded = decode_utf8_lossy({buffer.data(), strnlen(buffer.data(), buffer.size())});
  const std::string_view text = trim_white_space(decoded);
  if (text.empty()) {
    return BackendError::native_call(operation, code);
  }
  return BackendError::native_call_text(concat({"COPT error in ", operation, ": code ", std::to_string(code), ": ", text}));
}

Status check_call(const FunctionTable& table, int code, const char* operation) {
  if (code == 0) {
    return {};
  }
  return std::unexpected(native_call_error(table, code, operation));
}

Result<std::int32_t> to_c_int(std::uint64_t value, std::string_view what) {
  if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
    return std::unexpected(BackendError::invalid_input(concat({what, " exceeds COPT's c_int range"})));
  }
  return static_cast<std::int32_t>(value);
}

Status check_length(std::uint64_t actual, std::uint64_t expected, std::string_view what) {
  if (actual != expected) {
    return std::unexpected(BackendError::invalid_input(
        concat({what, " has length ", std::to_string(actual), ", expected ", std::to_string(expected)})));
  }
  return {};
}

Status check_finite(double value, std::string_view what) {
  if (!std::isfinite(value)) {
    return std::unexpected(BackendError::invalid_input(concat({what, " must be finite, got ", format_number(value)})));
  }
  return {};
}

BackendError contains_nan(std::string_view what) {
  return BackendError::invalid_input(concat({what, " cannot contain NaN, got NaN"}));
}

Status check_no_nul(std::string_view text, std::string_view what, BackendError (*make)(std::string)) {
  if (text.find('\0') != std::string_view::npos) {
    return std::unexpected(make(concat({what, " contains an embedded NUL byte"})));
  }
  return {};
}

}  // namespace brenlox_copt::backend
