// codes.hpp: the return codes of the stand-in, and the texts COPT_GetRetcodeMsg gives for codes.
#pragma once

#include <optional>
#include <string_view>

namespace brenlox_copt::standin {

/// Every code an entry point returns; standin/README.md lists them with their texts.
inline constexpr int kOk = 0;
inline constexpr int kOutOfMemory = 1;
inline constexpr int kNullArgument = 2;
inline constexpr int kInvalidHandle = 3;
inline constexpr int kInvalidCount = 4;
inline constexpr int kIndexOutOfRange = 5;
inline constexpr int kInvalidValue = 6;
inline constexpr int kUnsupported = 7;
inline constexpr int kUnknownParameter = 8;
inline constexpr int kParameterKind = 9;
inline constexpr int kParameterValue = 10;
inline constexpr int kUnknownAttribute = 11;
inline constexpr int kAttributeKind = 12;
inline constexpr int kNoSolution = 13;
inline constexpr int kEnvironmentBusy = 14;
inline constexpr int kEngineFailure = 15;
inline constexpr int kForcedSolutionLength = 16;
inline constexpr int kUnknownCode = 17;
inline constexpr int kInternalError = 18;

/// The built-in text for a code the library returns, or nullopt for any other code.
[[nodiscard]] std::optional<std::string_view> builtin_message(int code) noexcept;

}  // namespace brenlox_copt::standin
