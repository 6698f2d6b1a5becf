// library.cpp: finding the solver library file, loading it, resolving the function table, and unloading it.
//
// Candidate rules are the same on every platform; only separators differ. On POSIX only '/' separates components, so
// a candidate is P + "/bin/copt.dll" unless P ends with '/' (the fixed directory becomes
// "C:\Program Files\copt80/bin/copt.dll", which is a relative name there); an empty P gives "bin/copt.dll".
#include "backend/library.hpp"

#include <algorithm>
#include <memory>
#include <vector>

#include "backend/loader.hpp"

namespace brenlox_copt::backend {
namespace {

using platform::NativePath;
using platform::PathChar;

constexpr const char* kLibraryFileName = "copt.dll";
constexpr const char* kFixedInstallDirectory = "C:\\Program Files\\copt80";
constexpr const char* kHomeVariable = "COPT_HOME";

/// Closes a module that is not yet owned by a CoptLibrary, on every early return.
struct ModuleCloser {
  void operator()(void* module) const noexcept { platform::close_library(module); }
};
using OpenModule = std::unique_ptr<void, ModuleCloser>;

PathChar ascii_lower(PathChar c) { return c >= 'A' && c <= 'Z' ? static_cast<PathChar>(c - 'A' + 'a') : c; }

/// The last component: the text after the last separator (or drive), trailing separators ignored.
std::basic_string_view<PathChar> last_component(const NativePath& path) {
  const std::size_t prefix = platform::drive_prefix_length(path);
  std::size_t end = path.size();
  while (end > prefix && platform::is_separator(path[end - 1])) {
    --end;
  }
  std::size_t start = end;
  while (start > prefix && !platform::is_separator(path[start - 1])) {
    --start;
  }
  return std::basic_string_view<PathChar>(path).substr(start, end - start);
}

bool names_library_file(const NativePath& path) {
  const std::basic_string_view<PathChar> name = last_component(path);
  const std::string_view expected = kLibraryFileName;
  return std::ranges::equal(name, expected, [](PathChar a, char b) { return ascii_lower(a) == PathChar(b); });
}

/// Appends one component; no separator after a trailing one, after a bare drive ("D:" gives "D:bin"), or on empty.
void push_component(NativePath& path, const char* component) {
  const bool bare = path.empty() || platform::is_separator(path.back()) ||
                    path.size() == platform::drive_prefix_length(path);
  if (!bare) {
    path.push_back(platform::kSeparator);
  }
  path.append(platform::path_from_utf8(component));
}

NativePath derive_candidate(NativePath path) {
  if (!names_library_file(path)) {
    push_component(path, "bin");
    push_component(path, kLibraryFileName);
  }
  return path;
}

std::vector<NativePath> candidate_list(const std::optional<std::string>& dll_path) {
  if (dll_path) {
    return {derive_candidate(platform::path_from_utf8(*dll_path))};
  }
  std::vector<NativePath> candidates;
  if (std::optional<NativePath> home = platform::environment_variable(kHomeVariable)) {
    candidates.push_back(derive_candidate(std::move(*home)));
  }
  candidates.push_back(derive_candidate(platform::path_from_utf8(kFixedInstallDirectory)));
  return candidates;
}

bool is_accepted(const NativePath& candidate) {
  // A path with a NUL inside would be cut short by the system calls and name a different file.
  return candidate.find(PathChar{0}) == NativePath::npos && names_library_file(candidate) &&
         platform::is_regular_file(candidate);
}

BackendError not_found_error(const std::vector<NativePath>& candidates) {
  std::string message = "COPT native library was not found; checked";
  for (const NativePath& candidate : candidates) {
    message.push_back(' ');
    message.append(platform::path_display(candidate));
  }
  return BackendError::native_call_text(std::move(message));
}

BackendError load_error(std::string detail) {
  return BackendError::native_call_text("failed to load COPT library: " + std::move(detail));
}

/// Fills the table row by row in table order; the first row the module lacks ends the search with its error.
Result<FunctionTable> resolve_function_table(void* module, const std::string& shown_path) {
  FunctionTable table;
#define BRENLOX_RESOLVE_ROW(name, params)                                                                   \
  if (auto address = platform::find_entry_point(module, #name)) {                                          \
    table.name = reinterpret_cast<decltype(table.name)>(*address);                                          \
  } else {                                                                                                  \
    return std::unexpected(                                                                                 \
        load_error("failed to load COPT symbol " #name " from " + shown_path + ": " + address.error()));    \
  }
  COPT_API_ENTRY_POINTS(BRENLOX_RESOLVE_ROW)
#undef BRENLOX_RESOLVE_ROW
  return table;
}

Result<LibraryShare> load_from(const NativePath& path) {
  const std::string shown_path = platform::path_display(path);
  std::expected<platform::ModuleHandle, std::string> opened = platform::open_library(path);
  if (!opened) {
    return std::unexpected(load_error("failed to open COPT library " + shown_path + ": " + opened.error()));
  }
  OpenModule module(*opened);
  Result<FunctionTable> table = resolve_function_table(module.get(), shown_path);
  BRENLOX_PASS_UP_IF_FAILED(table);
  auto library = std::make_shared<const CoptLibrary>(*table, module.get());
  module.release();  // Now owned by the library, which closes it with the last share.
  return library;
}

}  // namespace

CoptLibrary::CoptLibrary(const FunctionTable& table, void* module_handle) noexcept
    : m_table(table), m_module(module_handle) {}

CoptLibrary::~CoptLibrary() { platform::close_library(m_module); }

Result<LibraryShare> load_library(const std::optional<std::string>& dll_path) {
  const std::vector<NativePath> candidates = candidate_list(dll_path);
  const auto chosen = std::ranges::find_if(candidates, is_accepted);
  if (chosen == candidates.end()) {
    return std::unexpected(not_found_error(candidates));
  }
  return load_from(*chosen);
}

}  // namespace brenlox_copt::backend
