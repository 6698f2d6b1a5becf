// memory_advice.cpp: huge-page advice for large batch arrays (Linux only; elsewhere it does nothing).
#include "backend/memory_advice.hpp"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace brenlox_copt::backend {

void advise_huge_pages([[maybe_unused]] const void* data, [[maybe_unused]] std::size_t bytes) noexcept {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
  // Below this the array spans at most one whole huge page, and the advice costs a system call for little.
  constexpr std::size_t kWorthAdvising = std::size_t{4} << 20;
  if (bytes < kWorthAdvising) {
    return;
  }
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t last = (begin + bytes) & ~(kHugePage - 1);
  if (last > first) {
    // Advice only: an error (say, memory the kernel will not back with huge pages) leaves everything as it was.
    (void)madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  }
#endif
}

}  // namespace brenlox_copt::backend
