// hidden_new_delete.cpp: the module's own global operator new and delete for macOS, hidden. zig's Mach-O linker cannot
// limit a library's exports, so the C++ runtime's weak ones linked in would be exported, and the process's other
// libraries could bind to them; with every form defined here, the runtime's are not linked at all.
#include <cstdlib>
#include <new>

namespace {

/// malloc, or posix_memalign beyond malloc's alignment; on failure the new-handler runs, else std::bad_alloc.
void* allocate(std::size_t size, std::size_t alignment) {
  const std::size_t bytes = size == 0 ? 1 : size;
  for (;;) {
    void* memory = nullptr;
    if (alignment <= alignof(std::max_align_t)) {
      memory = std::malloc(bytes);
    } else if (posix_memalign(&memory, alignment, bytes) != 0) {
      memory = nullptr;
    }
    if (memory != nullptr) {
      return memory;
    }
    const std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) {
      throw std::bad_alloc();
    }
    handler();
  }
}

/// The nothrow forms: nullptr where the throwing form would throw.
void* allocate_or_null(std::size_t size, std::size_t alignment) noexcept {
  try {
    return allocate(size, alignment);
  } catch (...) {
    return nullptr;
  }
}

constexpr std::size_t kPlain = 1;

}  // namespace

void* operator new(std::size_t size) { return allocate(size, kPlain); }
void* operator new[](std::size_t size) { return allocate(size, kPlain); }
void* operator new(std::size_t size, std::align_val_t alignment) { return allocate(size, std::size_t(alignment)); }
void* operator new[](std::size_t size, std::align_val_t alignment) { return allocate(size, std::size_t(alignment)); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate_or_null(size, kPlain); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate_or_null(size, kPlain); }
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return allocate_or_null(size, std::size_t(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return allocate_or_null(size, std::size_t(alignment));
}

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete(void* memory, std::align_val_t, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, std::align_val_t, const std::nothrow_t&) noexcept { std::free(memory); }
