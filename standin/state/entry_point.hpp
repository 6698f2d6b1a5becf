// entry_point.hpp: the solver's entry points as an enumeration, in the order of the one list in copt_api.h.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

#include "backend/copt_api.h"

namespace brenlox_copt::standin {

enum class EntryPoint : std::size_t {
#define STANDIN_ENTRY_POINT_ROW(name, params) name,
  COPT_API_ENTRY_POINTS(STANDIN_ENTRY_POINT_ROW)
#undef STANDIN_ENTRY_POINT_ROW
};

inline constexpr std::array kEntryPointNames = {
#define STANDIN_ENTRY_POINT_NAME(name, params) std::string_view{#name},
    COPT_API_ENTRY_POINTS(STANDIN_ENTRY_POINT_NAME)
#undef STANDIN_ENTRY_POINT_NAME
};

inline constexpr std::size_t kEntryPointCount = kEntryPointNames.size();

[[nodiscard]] constexpr std::string_view name_of(EntryPoint entry_point) noexcept {
  return kEntryPointNames[static_cast<std::size_t>(entry_point)];
}

[[nodiscard]] constexpr std::optional<EntryPoint> find_entry_point(std::string_view name) noexcept {
  for (std::size_t index = 0; index < kEntryPointCount; ++index) {
    if (kEntryPointNames[index] == name) {
      return static_cast<EntryPoint>(index);
    }
  }
  return std::nullopt;
}

/// Creators hand out a handle through their last argument; only they obey the handle-related test controls.
[[nodiscard]] constexpr bool is_creator(EntryPoint entry_point) noexcept {
  return entry_point == EntryPoint::COPT_CreateEnvConfig || entry_point == EntryPoint::COPT_CreateEnv ||
         entry_point == EntryPoint::COPT_CreateEnvWithConfig || entry_point == EntryPoint::COPT_CreateProb;
}

}  // namespace brenlox_copt::standin
