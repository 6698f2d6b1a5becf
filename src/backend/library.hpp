// library.hpp: CoptLibrary, one loaded solver library with its resolved function table, shared by atomic counts.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "backend/error.hpp"
#include "backend/function_table.hpp"

namespace brenlox_copt::backend {

/// One load of the solver library; immutable once built. The last share unloads the module.
class CoptLibrary {
 public:
  CoptLibrary(const FunctionTable& table, void* module_handle) noexcept;
  CoptLibrary(const CoptLibrary&) = delete;
  CoptLibrary& operator=(const CoptLibrary&) = delete;
  ~CoptLibrary();

  [[nodiscard]] const FunctionTable& table() const noexcept { return m_table; }

 private:
  FunctionTable m_table;
  void* m_module;
};

/// One library share: a counted reference to a loaded library.
using LibraryShare = std::shared_ptr<const CoptLibrary>;

/// Finds, loads and resolves the solver library; `dll_path` is the caller's path as UTF-8, or nullopt to search
/// COPT_HOME and the fixed install directory. Every call is a new load. A failure is a NativeCallText error holding
/// the not-found, open or symbol message.
[[nodiscard]] Result<LibraryShare> load_library(const std::optional<std::string>& dll_path);

}  // namespace brenlox_copt::backend
