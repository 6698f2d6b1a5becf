// memory_advice_test.cpp: huge-page advice reaches the kernel for large regions, and only for them.
#include <doctest/doctest.h>

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "backend/memory_advice.hpp"

using brenlox_copt::backend::advise_huge_pages;

namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;
constexpr int kSkipped = 77;

/// The "VmFlags" line of the mapping that holds `address`, from /proc/self/smaps.
std::string vm_flags(const void* address) {
  const auto wanted = reinterpret_cast<std::uintptr_t>(address);
  std::ifstream smaps("/proc/self/smaps");
  std::string line;
  bool inside = false;
  while (std::getline(smaps, line)) {
    std::uintptr_t start = 0;
    std::uintptr_t end = 0;
    char dash = 0;
    std::istringstream header(line);
    if (header >> std::hex >> start >> dash >> end && dash == '-') {
      inside = start <= wanted && wanted < end;
    } else if (inside && line.starts_with("VmFlags:")) {
      return line;
    }
  }
  return "";
}

/// A fresh anonymous mapping of `bytes`, unmapped when this value goes.
struct Mapping {
  explicit Mapping(std::size_t size)
      : bytes(size), data(mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)) {}
  Mapping(const Mapping&) = delete;
  Mapping& operator=(const Mapping&) = delete;
  ~Mapping() { munmap(data, bytes); }
  [[nodiscard]] char* at(std::size_t offset) const { return static_cast<char*>(data) + offset; }

  std::size_t bytes;
  void* data;
};

}  // namespace

TEST_CASE("a large region's whole huge pages are advised; a small region and the edges are left alone") {
  if (!std::filesystem::exists("/sys/kernel/mm/transparent_hugepage/enabled")) {
    // Nothing to observe: the exit code makes ctest report the test as skipped (SKIP_RETURN_CODE), not passed.
    std::fputs("skipped: this kernel has no transparent huge pages\n", stderr);
    std::exit(kSkipped);
  }
  const Mapping large(16 * kMiB);
  const Mapping small(3 * kMiB);
  REQUIRE(large.data != MAP_FAILED);
  REQUIRE(small.data != MAP_FAILED);
  // Starting one page into the mapping, so that the advice has to round inward to 2 MiB boundaries.
  advise_huge_pages(large.at(4096), large.bytes - 4096);
  advise_huge_pages(small.data, small.bytes);

  const auto first_whole = (reinterpret_cast<std::uintptr_t>(large.at(4096)) + 2 * kMiB - 1) & ~(2 * kMiB - 1);
  CHECK(vm_flags(reinterpret_cast<void*>(first_whole)).find(" hg") != std::string::npos);
  CHECK(vm_flags(large.data).find(" hg") == std::string::npos);
  CHECK(vm_flags(small.data).find(" hg") == std::string::npos);
}
