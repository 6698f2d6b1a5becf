// codes.cpp: the texts of the stand-in's return codes.
#include "standin/library/codes.hpp"

#include <array>

namespace brenlox_copt::standin {
namespace {

/// Indexed by code, which runs from kOk to kInternalError without gaps.
constexpr std::array<std::string_view, kInternalError + 1> kMessages = {
    "success",
    "out of memory",
    "a required pointer argument is null",
    "the handle is not a live object of the expected kind",
    "a count, matrix start or buffer size is out of range",
    "an index refers to a column that does not exist",
    "an argument value is invalid (type, bound, coefficient, constant or sense)",
    "not supported by the stand-in: row senses, column-wise matrix entries, slacks, duals or reduced costs",
    "unknown parameter name",
    "the parameter has the other type (integer or double)",
    "the parameter value is out of range",
    "unknown attribute name",
    "the attribute has the other type (integer or double)",
    "no solution is available",
    "the environment still has problems",
    "the engine failed",
    "the forced solution does not have one value per column",
    "unknown return code",
    "internal error",
};

}  // namespace

std::optional<std::string_view> builtin_message(int code) noexcept {
  if (code < 0 || code > kInternalError) {
    return std::nullopt;
  }
  return kMessages[static_cast<std::size_t>(code)];
}

}  // namespace brenlox_copt::standin
