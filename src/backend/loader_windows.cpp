// loader_windows.cpp: the library search's platform calls on Windows (kernel32), with UTF-16 paths.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "backend/loader.hpp"
#include "backend/utf8_text.hpp"

namespace brenlox_copt::backend::platform {
namespace {

bool is_high_surrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool is_low_surrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

std::string loader_error(std::string_view call, DWORD code) {
  return std::string(call) + (code != 0 ? " failed" : " failed, but system did not report the error");
}

/// The absolute form of `path`, resolved the way the metadata query resolved it. LoadLibraryExW would otherwise
/// search its standard directories for a relative path and could load a different file from the one accepted.
NativePath full_path(const NativePath& path) {
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) {
    return path;
  }
  NativePath full(needed, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) {
    return path;
  }
  full.resize(length);
  return full;
}

}  // namespace

bool is_separator(PathChar c) noexcept { return c == L'\\' || c == L'/'; }

std::size_t drive_prefix_length(const NativePath& path) noexcept {
  const bool drive = path.size() >= 2 && path[1] == L':' &&
                     ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
  return drive ? 2 : 0;
}

NativePath path_from_utf8(std::string_view text) {
  if (text.empty()) {
    return {};
  }
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  NativePath path(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, path.data(), length);
  return path;
}

std::string path_display(const NativePath& path) {
  std::string out;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const wchar_t unit = path[i];
    if (is_high_surrogate(unit) && i + 1 < path.size() && is_low_surrogate(path[i + 1])) {
      append_utf8(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                           (static_cast<char32_t>(path[i + 1]) - 0xDC00));
      ++i;
    } else if (is_high_surrogate(unit) || is_low_surrogate(unit)) {
      append_utf8(out, 0xFFFD);
    } else {
      append_utf8(out, unit);
    }
  }
  return out;
}

std::optional<NativePath> environment_variable(const char* name) {
  const NativePath wide_name = path_from_utf8(name);
  NativePath value(128, L'\0');
  for (;;) {
    // A set but empty variable also returns 0, so only the error code tells it from a missing one.
    SetLastError(0);
    const DWORD length = GetEnvironmentVariableW(wide_name.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (length == 0 && GetLastError() != 0) {
      return std::nullopt;
    }
    if (length < value.size()) {
      value.resize(length);
      return value;
    }
    value.resize(length);  // Too small: length is the size needed, terminator included.
  }
}

bool is_regular_file(const NativePath& path) {
  // Opening with no access rights follows links and reads metadata of files and directories alike.
  HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool regular = GetFileInformationByHandle(file, &info) != 0 &&
                       (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && GetFileType(file) == FILE_TYPE_DISK;
  CloseHandle(file);
  return regular;
}

std::expected<ModuleHandle, std::string> open_library(const NativePath& path) {
  const NativePath full = full_path(path);
  // No message boxes for a missing disk while loading; the previous mode comes back afterwards.
  DWORD previous = 0;
  const bool mode_set = SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previous) != 0;
  HMODULE module = LoadLibraryExW(full.c_str(), nullptr, 0);
  const DWORD error = module == nullptr ? GetLastError() : 0;
  if (mode_set && previous != SEM_FAILCRITICALERRORS) {
    SetThreadErrorMode(previous, nullptr);
  }
  if (module == nullptr) {
    return std::unexpected(loader_error("LoadLibraryExW", error));
  }
  return static_cast<ModuleHandle>(module);
}

std::expected<EntryAddress, std::string> find_entry_point(ModuleHandle module, const char* name) {
  const FARPROC address = GetProcAddress(static_cast<HMODULE>(module), name);
  if (address == nullptr) {
    return std::unexpected(loader_error("GetProcAddress", GetLastError()));
  }
  return reinterpret_cast<EntryAddress>(address);
}

void close_library(ModuleHandle module) noexcept { FreeLibrary(static_cast<HMODULE>(module)); }

}  // namespace brenlox_copt::backend::platform
