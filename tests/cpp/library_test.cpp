// library_test.cpp: finding, loading, resolving and unloading the solver library; built natively and, for Windows,
// cross-built and run under Wine (scripts/windows-check.sh).
#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <doctest/doctest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>

#include "backend/library.hpp"

using brenlox_copt::backend::load_library;
namespace fs = std::filesystem;

namespace {

constexpr const char* kNotFound = "COPT native library was not found; checked ";
using EnvText = fs::path::string_type;

#ifdef _WIN32
constexpr const char* kSep = "\\";
constexpr const char* kFixedCandidate = "C:\\Program Files\\copt80\\bin\\copt.dll";

std::string open_error(const std::string& /*path*/) { return "LoadLibraryExW failed"; }
std::string symbol_error(const std::string& /*path*/, const std::string& /*name*/) { return "GetProcAddress failed"; }

std::optional<EnvText> get_home() {
  std::wstring value(32768, L'\0');
  const DWORD length = GetEnvironmentVariableW(L"COPT_HOME", value.data(), 32768);
  if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
    return std::nullopt;
  }
  value.resize(length);
  return value;
}

void set_home(const std::optional<EnvText>& value) {
  SetEnvironmentVariableW(L"COPT_HOME", value ? value->c_str() : nullptr);
}

/// True while some handle keeps the library at `path` loaded in this process.
bool is_loaded(const fs::path& path) { return GetModuleHandleW(path.c_str()) != nullptr; }
#else
constexpr const char* kSep = "/";
constexpr const char* kFixedCandidate = "C:\\Program Files\\copt80/bin/copt.dll";

std::string open_error(const std::string& path) { return "dlopen failed: " + path + ": invalid ELF header"; }
std::string symbol_error(const std::string& path, const std::string& name) {
  return "dlsym failed: " + path + ": undefined symbol: " + name;
}

std::optional<EnvText> get_home() {
  const char* value = std::getenv("COPT_HOME");
  return value != nullptr ? std::optional<EnvText>(value) : std::nullopt;
}

void set_home(const std::optional<EnvText>& value) {
  if (value) {
    setenv("COPT_HOME", value->c_str(), 1);
  } else {
    unsetenv("COPT_HOME");
  }
}

bool is_loaded(const fs::path& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle != nullptr) {
    dlclose(handle);
  }
  return handle != nullptr;
}
#endif

/// Sets or unsets COPT_HOME for one test and puts back what was there.
class ScopedHome {
 public:
  explicit ScopedHome(const std::optional<EnvText>& value) : m_old(get_home()) { set_home(value); }
  ScopedHome(const ScopedHome&) = delete;
  ScopedHome& operator=(const ScopedHome&) = delete;
  ~ScopedHome() { set_home(m_old); }

 private:
  std::optional<EnvText> m_old;
};

/// A fresh directory for one test, removed with everything in it at the end.
class TempDir {
 public:
  TempDir() {
    std::random_device random;
    do {
      m_path = fs::temp_directory_path() / ("brenlox-test-" + std::to_string(random()));
    } while (!fs::create_directory(m_path));
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
  }

  [[nodiscard]] const fs::path& path() const noexcept { return m_path; }

 private:
  fs::path m_path;
};

/// Runs the test inside a fresh temporary directory, so relative candidates resolve there.
class InTempDir {
 public:
  InTempDir() : m_previous(fs::current_path()) { fs::current_path(m_dir.path()); }
  InTempDir(const InTempDir&) = delete;
  InTempDir& operator=(const InTempDir&) = delete;
  ~InTempDir() { fs::current_path(m_previous); }

  [[nodiscard]] const fs::path& path() const noexcept { return m_dir.path(); }

 private:
  TempDir m_dir;
  fs::path m_previous;
};

/// Copies the library file `source` to `dir/name`, creating `dir`; gives the new path.
fs::path place_library(const fs::path& source, const fs::path& dir, const std::string& name = "copt.dll") {
  fs::create_directories(dir);
  fs::copy_file(source, dir / name);
  return dir / name;
}

/// The path as UTF-8, the form load_library takes.
std::string utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

std::string failure_text(const std::optional<std::string>& dll_path) {
  const auto loaded = load_library(dll_path);
  REQUIRE_FALSE(loaded.has_value());
  return loaded.error().display();
}

/// The candidate derived from an empty path, and from `dir`.
const std::string kRelativeCandidate = std::string("bin") + kSep + "copt.dll";
std::string in_bin(const std::string& dir) { return dir + kSep + kRelativeCandidate; }

}  // namespace

TEST_CASE("the not-found message lists every candidate in order") {
  const InTempDir cwd;
  const std::string dir = utf8(cwd.path());
  place_library(FAKE_COPT, cwd.path() / "only_top");
  place_library(FAKE_COPT, cwd.path() / "copt.dll" / "bin");

  SUBCASE("COPT_HOME unset: only the fixed directory") {
    const ScopedHome home(std::nullopt);
    CHECK(failure_text(std::nullopt) == kNotFound + std::string(kFixedCandidate));
  }
  SUBCASE("COPT_HOME set: its bin directory first") {
    const ScopedHome home((cwd.path() / "missing").native());
    CHECK(failure_text(std::nullopt) == kNotFound + in_bin(dir + kSep + "missing") + " " + kFixedCandidate);
  }
  SUBCASE("COPT_HOME with a trailing separator") {
    const ScopedHome home((cwd.path() / "missing" / "").native());
    CHECK(failure_text(std::nullopt) == kNotFound + in_bin(dir + kSep + "missing") + " " + kFixedCandidate);
  }
  SUBCASE("COPT_HOME set but empty: relative to the current directory") {
    const ScopedHome home(EnvText{});
    CHECK(failure_text(std::nullopt) == kNotFound + kRelativeCandidate + " " + kFixedCandidate);
  }
  SUBCASE("an empty dll_path is its own single candidate, relative to the current directory") {
    const ScopedHome home((cwd.path() / "only_top").native());
    CHECK(failure_text("") == kNotFound + kRelativeCandidate);
  }
  SUBCASE("a directory holding copt.dll but no bin/copt.dll") {
    CHECK(failure_text(dir + kSep + "only_top") == kNotFound + in_bin(dir + kSep + "only_top"));
  }
  SUBCASE("a dll_path naming copt.dll is used as it is, so a directory of that name is refused") {
    const std::string named = dir + kSep + "copt.dll";
    CHECK(failure_text(named) == kNotFound + named);
    CHECK(failure_text(named + kSep + kSep) == kNotFound + named + kSep + kSep);
  }
  SUBCASE("a NUL inside the path is refused rather than cut short to an existing file") {
    const std::string path = dir + kSep + "only_top" + kSep + "copt.dll" + std::string(1, '\0') + kSep + "copt.dll";
    CHECK(failure_text(path) == kNotFound + path);
  }
#ifdef _WIN32
  SUBCASE("Windows paths: drives, both separators, any case of the file name") {
    CHECK(failure_text("D:") == kNotFound + std::string("D:bin\\copt.dll"));
    CHECK(failure_text("D:\\") == kNotFound + std::string("D:\\bin\\copt.dll"));
    CHECK(failure_text("D:/Lib/") == kNotFound + std::string("D:/Lib/bin\\copt.dll"));
    CHECK(failure_text("D:copt.dll") == kNotFound + std::string("D:copt.dll"));
    CHECK(failure_text("D:\\Lib\\COPT.DLL") == kNotFound + std::string("D:\\Lib\\COPT.DLL"));
  }
  SUBCASE("invalid UTF-16 in COPT_HOME is shown replaced") {
    const ScopedHome home(std::wstring(L"D:\\co") + wchar_t(0xD800) + L"pt");
    CHECK(failure_text(std::nullopt) ==
          kNotFound + std::string("D:\\co\xEF\xBF\xBDpt\\bin\\copt.dll ") + kFixedCandidate);
  }
#else
  SUBCASE("a backslash is an ordinary character, not a separator") {
    CHECK(failure_text("only_top\\copt.dll") == kNotFound + std::string("only_top\\copt.dll/bin/copt.dll"));
  }
  SUBCASE("invalid UTF-8 in COPT_HOME is shown replaced") {
    const ScopedHome home("/no\xFFwhere");
    CHECK(failure_text(std::nullopt) ==
          kNotFound + std::string("/no\xEF\xBF\xBDwhere/bin/copt.dll ") + kFixedCandidate);
  }
#endif
}

TEST_CASE("the first accepted candidate is loaded, from exactly its path") {
  const InTempDir cwd;
  const fs::path home_library = place_library(FAKE_COPT, cwd.path() / "home" / "bin");

  SUBCASE("from COPT_HOME") {
    const ScopedHome home((cwd.path() / "home").native());
    const auto library = load_library(std::nullopt);
    REQUIRE(library.has_value());
    CHECK(is_loaded(home_library));
  }
  SUBCASE("a dll_path naming COPT.DLL in another case") {
    const fs::path upper = place_library(FAKE_COPT, cwd.path() / "Lib", "COPT.DLL");
    const auto library = load_library(utf8(upper));
    REQUIRE(library.has_value());
    CHECK(is_loaded(upper));
  }
  SUBCASE("a bare relative copt.dll from the current directory, not from the library search path") {
    // This one lacks COPT_Update, unlike any copt.dll the system's search could find (on Windows the program's own
    // directory holds a complete one).
    place_library(FAKE_COPT_WITHOUT_UPDATE_AND_SOLVE, cwd.path());
    CHECK(failure_text("copt.dll") ==
          "failed to load COPT library: failed to load COPT symbol COPT_Update from copt.dll: " +
              symbol_error("./copt.dll", "COPT_Update"));
  }
#ifndef _WIN32
  SUBCASE("from the fixed directory when COPT_HOME has none; it is a relative name here") {
    const fs::path fixed_library = place_library(FAKE_COPT, cwd.path() / "C:\\Program Files\\copt80" / "bin");
    const ScopedHome home((cwd.path() / "nothing").native());
    const auto library = load_library(std::nullopt);
    REQUIRE(library.has_value());
    CHECK(is_loaded(fixed_library));
  }
#endif
  CHECK_FALSE(is_loaded(home_library));
}

TEST_CASE("every load resolves its own table and the last share unloads") {
  const TempDir dir;
  const fs::path path = place_library(FAKE_COPT, dir.path());
  auto first = load_library(utf8(path));
  auto second = load_library(utf8(path));
  REQUIRE(first.has_value());
  REQUIRE(second.has_value());
  CHECK(first->get() != second->get());
#ifndef _WIN32
  for (const std::string_view name : brenlox_copt::backend::kEntryPointNames) {
    CAPTURE(name);
    CHECK(dlsym(RTLD_DEFAULT, std::string(name).c_str()) == nullptr);  // RTLD_LOCAL: nothing leaks out globally
  }
#endif

  first->reset();
  CHECK(is_loaded(path));
  CHECK((*second)->table().COPT_Solve(nullptr) == 0);
  second->reset();
  CHECK_FALSE(is_loaded(path));
}

TEST_CASE("a file that is no library fails to open") {
  const TempDir dir;
  const std::string path = utf8(dir.path() / "copt.dll");
  std::ofstream(dir.path() / "copt.dll") << std::string(200, '#');
  CHECK(failure_text(path) ==
        "failed to load COPT library: failed to open COPT library " + path + ": " + open_error(path));
}

TEST_CASE("a library lacking entry points is refused, naming the first missing one, and unloaded") {
  struct Case {
    const char* library;
    const char* missing;
  };
  const Case cases[] = {
      {FAKE_COPT_WITHOUT_BANNER, "COPT_GetBanner"},
      {FAKE_COPT_WITHOUT_UPDATE_AND_SOLVE, "COPT_Update"},
      {FAKE_COPT_WITHOUT_LP_SOLUTION, "COPT_GetLpSolution"},
  };
  for (const Case& c : cases) {
    CAPTURE(c.missing);
    const TempDir dir;
    const fs::path copied = place_library(c.library, dir.path());
    const std::string path = utf8(copied);
    CHECK(failure_text(path) == "failed to load COPT library: failed to load COPT symbol " + std::string(c.missing) +
                                    " from " + path + ": " + symbol_error(path, c.missing));
    CHECK_FALSE(is_loaded(copied));
  }
}

#ifndef _WIN32
TEST_CASE("an entry point exported with a null address is refused, though the system reports no error") {
  const TempDir dir;
  const fs::path copied = place_library(FAKE_COPT_NULL_BANNER, dir.path());
  const std::string path = utf8(copied);
  CHECK(failure_text(path) == "failed to load COPT library: failed to load COPT symbol COPT_GetBanner from " + path +
                                  ": dlsym failed, but system did not report the error");
  CHECK_FALSE(is_loaded(copied));
}
#endif

#ifdef _WIN32
TEST_CASE("loading sets the thread's error mode to fail critical errors, then restores it") {
  const TempDir dir;
  const fs::path path = place_library(FAKE_COPT, dir.path());
  const fs::path not_a_library = dir.path() / "bad" / "copt.dll";
  fs::create_directories(not_a_library.parent_path());
  std::ofstream(not_a_library) << "not a library";

  for (const DWORD before : {DWORD{0}, DWORD{SEM_NOGPFAULTERRORBOX}, DWORD{SEM_FAILCRITICALERRORS}}) {
    CAPTURE(before);
    REQUIRE(SetThreadErrorMode(before, nullptr));
    {
      const auto library = load_library(utf8(path));
      REQUIRE(library.has_value());
      // The fake library records the mode it saw while the loader initialised it.
      const FARPROC seen = GetProcAddress(GetModuleHandleW(path.c_str()), "fake_copt_error_mode_at_load");
      const bool exported = seen != nullptr;
      REQUIRE(exported);
      CHECK(reinterpret_cast<DWORD (*)()>(reinterpret_cast<void (*)()>(seen))() == SEM_FAILCRITICALERRORS);
      CHECK(GetThreadErrorMode() == before);
    }
    CHECK_FALSE(load_library(utf8(not_a_library)).has_value());
    CHECK(GetThreadErrorMode() == before);
  }
  SetThreadErrorMode(0, nullptr);
}
#endif
