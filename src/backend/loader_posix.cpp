// loader_posix.cpp: the library search's platform calls on POSIX systems: dlopen, dlsym, dlclose, getenv, stat.
//
// The loader error texts mirror the Windows ones with the POSIX call's name: "dlopen failed: {dlerror text}", or
// "dlopen failed, but system did not report the error" when dlerror has nothing; "dlsym failed..." likewise. Unlike a
// Windows error code, dlerror's text names the actual cause (a missing dependency, a bad file), so it is kept.
#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdlib>

#include "backend/loader.hpp"
#include "backend/utf8_text.hpp"

namespace brenlox_copt::backend::platform {
namespace {

std::string loader_error(std::string_view call) {
  const char* text = dlerror();
  if (text == nullptr) {
    return std::string(call) + " failed, but system did not report the error";
  }
  return std::string(call) + " failed: " + decode_utf8_lossy(text);
}

}  // namespace

bool is_separator(PathChar c) noexcept { return c == '/'; }

std::size_t drive_prefix_length(const NativePath& /*path*/) noexcept { return 0; }

NativePath path_from_utf8(std::string_view text) { return NativePath(text); }

std::string path_display(const NativePath& path) { return decode_utf8_lossy(path); }

std::optional<NativePath> environment_variable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) {
    return std::nullopt;
  }
  return NativePath(value);
}

bool is_regular_file(const NativePath& path) {
  struct stat metadata {};
  return stat(path.c_str(), &metadata) == 0 && S_ISREG(metadata.st_mode);
}

std::expected<ModuleHandle, std::string> open_library(const NativePath& path) {
  // dlopen searches the library path for a bare file name; the accepted file is the one in the current directory.
  const NativePath exact = path.find('/') == NativePath::npos ? "./" + path : path;
  ModuleHandle module = dlopen(exact.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    return std::unexpected(loader_error("dlopen"));
  }
  return module;
}

std::expected<EntryAddress, std::string> find_entry_point(ModuleHandle module, const char* name) {
  dlerror();  // A stale error from earlier would be mistaken for this lookup's.
  void* address = dlsym(module, name);
  if (address == nullptr) {
    return std::unexpected(loader_error("dlsym"));
  }
  return reinterpret_cast<EntryAddress>(address);
}

void close_library(ModuleHandle module) noexcept { dlclose(module); }

}  // namespace brenlox_copt::backend::platform
