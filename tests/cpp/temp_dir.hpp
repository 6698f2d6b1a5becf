// temp_dir.hpp: a fresh directory for one test, removed with everything in it at the end.
#pragma once

#include <filesystem>
#include <random>
#include <string>

namespace brenlox_copt::test {

class TempDir {
 public:
  TempDir() {
    std::random_device random;
    do {
      m_path = std::filesystem::temp_directory_path() / ("brenlox-test-" + std::to_string(random()));
    } while (!std::filesystem::create_directory(m_path));
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }

  [[nodiscard]] const std::filesystem::path& path() const noexcept { return m_path; }

 private:
  std::filesystem::path m_path;
};

/// Copies the library file `source` to `dir/name`, creating `dir`; gives the new path.
inline std::filesystem::path place_library(const std::filesystem::path& source, const std::filesystem::path& dir,
                                           const std::string& name = "copt.dll") {
  std::filesystem::create_directories(dir);
  std::filesystem::copy_file(source, dir / name);
  return dir / name;
}

/// The path as UTF-8, the form load_library takes.
inline std::string utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

}  // namespace brenlox_copt::test
