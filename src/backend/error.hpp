// error.hpp: BackendError, the one error type of the backend, and the checks that every backend operation shares.
#pragma once

#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace brenlox_copt::backend {

struct FunctionTable;

/// One backend failure; moved, never shared, and consumed when the Python layer raises it.
class BackendError {
 public:
  [[nodiscard]] static BackendError invalid_input(std::string message);
  [[nodiscard]] static BackendError invalid_variable_index(std::uint64_t index);
  [[nodiscard]] static BackendError invalid_name(std::string message);
  [[nodiscard]] static BackendError backend_state(std::string message);
  /// `operation` is a static label such as "COPT_GetIntAttr(Status)".
  [[nodiscard]] static BackendError native_call(const char* operation, std::int32_t code);
  /// Also carries library-load failures, whose text is shown exactly as built.
  [[nodiscard]] static BackendError native_call_text(std::string message);

  /// The text Python sees as the RuntimeError message.
  [[nodiscard]] std::string display() const;

 private:
  /// What a message's display text starts with; a native call's text is shown exactly as built.
  enum class Kind { InvalidInput, InvalidName, BackendState, NativeCallText };
  struct Text {
    Kind kind;
    std::string message;
  };
  struct VariableIndex {
    std::uint64_t index;
  };
  struct Native {
    const char* operation;
    std::int32_t code;
  };
  explicit BackendError(std::variant<Text, VariableIndex, Native> value) : m_value(std::move(value)) {}

  std::variant<Text, VariableIndex, Native> m_value;
};

template <class T>
using Result = std::expected<T, BackendError>;
using Status = Result<void>;

/// Hands a failed result's error up as the caller's own failure, whatever either value type is (through
/// BRENLOX_PASS_UP_IF_FAILED below).
template <class T>
[[nodiscard]] std::unexpected<BackendError> pass_up(Result<T>& failed) {
  return std::unexpected(std::move(failed.error()));
}

/// The one-line form of forwarding: ends the enclosing function with pass_up when `result` (a named result, or a call
/// that makes one) failed; a named result stays usable after it.
#define BRENLOX_PASS_UP_IF_FAILED(result)                       \
  do {                                                          \
    if (auto&& brenlox_checked = (result); !brenlox_checked) {  \
      return ::brenlox_copt::backend::pass_up(brenlox_checked); \
    }                                                           \
  } while (false)

/// Assign or pass up: declares `name` as a reference to the value of `result` (a call that makes a Result) when it
/// succeeded, and otherwise ends the enclosing function with its error, as BRENLOX_PASS_UP_IF_FAILED does.
#define BRENLOX_ASSIGN_OR_PASS_UP(name, result)              \
  auto brenlox_result_##name = (result);                     \
  if (!brenlox_result_##name) {                              \
    return ::brenlox_copt::backend::pass_up(brenlox_result_##name); \
  }                                                          \
  auto& name = *brenlox_result_##name

/// The native call check: turns a nonzero return code into an error, with the library's own text when it has one.
[[nodiscard]] BackendError native_call_error(const FunctionTable& table, std::int32_t code, const char* operation);

/// Runs a native call's return code through the native call check; zero is success.
[[nodiscard]] Status check_call(const FunctionTable& table, int code, const char* operation);

[[nodiscard]] Result<std::int32_t> to_c_int(std::uint64_t value, std::string_view what);
[[nodiscard]] Status check_length(std::uint64_t actual, std::uint64_t expected, std::string_view what);
[[nodiscard]] Status check_finite(double value, std::string_view what);
[[nodiscard]] BackendError contains_nan(std::string_view what);
/// The NUL check, for every text that reaches the solver as a C string: fails with "{what} contains an embedded NUL
/// byte" when the text holds a zero byte, as InvalidName by default (names of variables and rows) or as the error
/// `make` makes (settings take InvalidInput); `what` names the kind of text, not the text.
[[nodiscard]] Status check_no_nul(std::string_view text, std::string_view what,
                                  BackendError (*make)(std::string) = BackendError::invalid_name);

}  // namespace brenlox_copt::backend
