// function_table.hpp: one typed pointer per solver entry point, generated from the list in copt_api.h.
#pragma once

#include <array>
#include <string_view>

#include "backend/copt_api.h"

namespace brenlox_copt::backend {

/// The solver's entry points, resolved by name when the library is loaded; every native call goes through here.
struct FunctionTable {
#define BRENLOX_TABLE_ROW(name, params) int(*name) params = nullptr;
  COPT_API_ENTRY_POINTS(BRENLOX_TABLE_ROW)
#undef BRENLOX_TABLE_ROW
};

/// The entry-point names in resolution order.
inline constexpr std::array kEntryPointNames = {
#define BRENLOX_TABLE_NAME(name, params) std::string_view{#name},
    COPT_API_ENTRY_POINTS(BRENLOX_TABLE_NAME)
#undef BRENLOX_TABLE_NAME
};

}  // namespace brenlox_copt::backend
