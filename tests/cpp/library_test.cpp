// library_test.cpp: finding, loading, resolving and unloading the solver library on POSIX systems.
#include <dlfcn.h>
#include <unistd.h>

#include <doctest/doctest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "backend/library.hpp"
#include "temp_dir.hpp"

using brenlox_copt::backend::load_library;
using brenlox_copt::test::place_library;
using brenlox_copt::test::TempDir;
using brenlox_copt::test::utf8;
namespace fs = std::filesystem;

namespace {

constexpr const char* kNotFound = "COPT native library was not found; checked ";
constexpr const char* kFixedCandidate = "C:\\Program Files\\copt80/bin/copt.dll";

/// Sets or unsets COPT_HOME for one test and puts back what was there.
class ScopedHome {
 public:
  explicit ScopedHome(const std::optional<std::string>& value) {
    if (const char* old = std::getenv("COPT_HOME")) {
      m_old = old;
    }
    set(value);
  }
  ScopedHome(const ScopedHome&) = delete;
  ScopedHome& operator=(const ScopedHome&) = delete;
  ~ScopedHome() { set(m_old); }

 private:
  static void set(const std::optional<std::string>& value) {
    if (value) {
      setenv("COPT_HOME", value->c_str(), 1);
    } else {
      unsetenv("COPT_HOME");
    }
  }
  std::optional<std::string> m_old;
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

std::string failure_text(const std::optional<std::string>& dll_path) {
  const auto loaded = load_library(dll_path);
  REQUIRE_FALSE(loaded.has_value());
  CHECK(loaded.error().kind() == brenlox_copt::backend::BackendError::Kind::NativeCallText);
  return loaded.error().display();
}

/// True while some handle keeps the library at `path` mapped in this process.
bool is_loaded(const fs::path& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle != nullptr) {
    dlclose(handle);
  }
  return handle != nullptr;
}

}  // namespace

TEST_CASE("the not-found message lists every candidate in order") {
  const InTempDir cwd;
  const std::string dir = utf8(cwd.path());
  fs::create_directories(cwd.path() / "only_top");
  fs::copy_file(FAKE_COPT, cwd.path() / "only_top" / "copt.dll");
  fs::create_directories(cwd.path() / "copt.dll" / "bin");
  fs::copy_file(FAKE_COPT, cwd.path() / "copt.dll" / "bin" / "copt.dll");

  SUBCASE("COPT_HOME unset: only the fixed directory") {
    const ScopedHome home(std::nullopt);
    CHECK(failure_text(std::nullopt) == kNotFound + std::string(kFixedCandidate));
  }
  SUBCASE("COPT_HOME set: its bin directory first") {
    const ScopedHome home(dir + "/missing");
    CHECK(failure_text(std::nullopt) == kNotFound + dir + "/missing/bin/copt.dll " + kFixedCandidate);
  }
  SUBCASE("COPT_HOME with a trailing separator") {
    const ScopedHome home(dir + "/missing/");
    CHECK(failure_text(std::nullopt) == kNotFound + dir + "/missing/bin/copt.dll " + kFixedCandidate);
  }
  SUBCASE("COPT_HOME set but empty: relative to the current directory") {
    const ScopedHome home("");
    CHECK(failure_text(std::nullopt) == kNotFound + std::string("bin/copt.dll ") + kFixedCandidate);
  }
  SUBCASE("an empty dll_path is its own single relative candidate") {
    const ScopedHome home(dir + "/only_top");
    CHECK(failure_text("") == kNotFound + std::string("bin/copt.dll"));
  }
  SUBCASE("a directory holding copt.dll but no bin/copt.dll") {
    CHECK(failure_text(dir + "/only_top") == kNotFound + dir + "/only_top/bin/copt.dll");
  }
  SUBCASE("a dll_path naming copt.dll is used as it is, and a directory of that name is refused") {
    CHECK(failure_text(dir + "/copt.dll") == kNotFound + dir + "/copt.dll");
    CHECK(failure_text(dir + "/copt.dll//") == kNotFound + dir + "/copt.dll//");
    CHECK(failure_text(dir + "/only_top/bin/COPT.dll") == kNotFound + dir + "/only_top/bin/COPT.dll");
  }
  SUBCASE("a backslash is an ordinary character, not a separator") {
    CHECK(failure_text("only_top\\copt.dll") == kNotFound + std::string("only_top\\copt.dll/bin/copt.dll"));
  }
  SUBCASE("a NUL inside the path is refused rather than cut short to an existing file") {
    const std::string path = dir + "/only_top/copt.dll" + std::string(1, '\0') + "/copt.dll";
    CHECK(failure_text(path) == kNotFound + path);
  }
  SUBCASE("invalid UTF-8 in COPT_HOME is shown replaced") {
    const ScopedHome home("/no\xFFwhere");
    CHECK(failure_text(std::nullopt) ==
          kNotFound + std::string("/no\xEF\xBF\xBDwhere/bin/copt.dll ") + kFixedCandidate);
  }
}

TEST_CASE("the first accepted candidate is loaded") {
  const InTempDir cwd;
  const fs::path home_library = place_library(FAKE_COPT, cwd.path() / "home" / "bin");
  const fs::path fixed_library = place_library(FAKE_COPT, cwd.path() / "C:\\Program Files\\copt80" / "bin");

  SUBCASE("from COPT_HOME") {
    const ScopedHome home(utf8(cwd.path() / "home"));
    const auto library = load_library(std::nullopt);
    REQUIRE(library.has_value());
    CHECK(is_loaded(home_library));
    CHECK_FALSE(is_loaded(fixed_library));
  }
  SUBCASE("from the fixed directory when COPT_HOME has none") {
    const ScopedHome home(utf8(cwd.path() / "nothing"));
    const auto library = load_library(std::nullopt);
    REQUIRE(library.has_value());
    CHECK(is_loaded(fixed_library));
  }
  SUBCASE("a dll_path naming COPT.DLL in another case, from exactly that path") {
    const fs::path upper = place_library(FAKE_COPT, cwd.path() / "Lib", "COPT.DLL");
    const auto library = load_library(utf8(upper));
    REQUIRE(library.has_value());
    CHECK(is_loaded(upper));
  }
  SUBCASE("a bare relative copt.dll from the current directory, not the library search path") {
    const fs::path local = place_library(FAKE_COPT, cwd.path());
    const auto library = load_library("copt.dll");
    REQUIRE(library.has_value());
    CHECK(is_loaded(local));
  }
  CHECK_FALSE(is_loaded(home_library));
  CHECK_FALSE(is_loaded(fixed_library));
}

TEST_CASE("every load resolves its own table and the last share unloads") {
  const TempDir dir;
  const fs::path path = place_library(FAKE_COPT, dir.path());
  auto first = load_library(utf8(path));
  auto second = load_library(utf8(path));
  REQUIRE(first.has_value());
  REQUIRE(second.has_value());
  CHECK(first->get() != second->get());
  for (const std::string_view name : brenlox_copt::backend::kEntryPointNames) {
    CAPTURE(name);
    CHECK(dlsym(RTLD_DEFAULT, std::string(name).c_str()) == nullptr);  // RTLD_LOCAL: nothing leaks out globally
  }

  first->reset();
  CHECK(is_loaded(path));
  CHECK((*second)->table().COPT_Solve(nullptr) == 0);
  second->reset();
  CHECK_FALSE(is_loaded(path));
}

TEST_CASE("a file that is no library fails to open") {
  const TempDir dir;
  const std::string path = utf8(dir.path() / "copt.dll");
  std::ofstream(path) << std::string(200, '#');
  CHECK(failure_text(path) == "failed to load COPT library: failed to open COPT library " + path +
                                  ": dlopen failed: " + path + ": invalid ELF header");
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
    const std::string path = c.library;
    CHECK(failure_text(path) == "failed to load COPT library: failed to load COPT symbol " + std::string(c.missing) +
                                    " from " + path + ": dlsym failed: " + path + ": undefined symbol: " + c.missing);
    CHECK_FALSE(is_loaded(path));
  }
}
