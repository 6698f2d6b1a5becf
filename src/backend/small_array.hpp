// small_array.hpp: the arrays a batch hands the solver: unfilled, on the heap, or inline for a batch of a few items.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <type_traits>

#include "backend/memory_advice.hpp"

namespace brenlox_copt::backend {

/// An array whose every element the caller writes before reading, so it is not zero-filled first (and, when large,
/// is backed by huge pages where the system allows).
template <class T>
[[nodiscard]] std::unique_ptr<T[]> uninitialized_array(std::size_t size) {
  auto array = std::make_unique_for_overwrite<T[]>(size);
  advise_huge_pages(array.get(), size * sizeof(T));
  return array;
}

/// An array of a size fixed at construction, every element written by the caller before the solver reads it. Up to
/// Inline elements live in the object itself: one variable or one row would otherwise spend more on allocating its
/// one-element arrays than on the rest of the call. Moving carries the elements along, so take data() from the object
/// that reaches the solver call, never across a move.
template <class T, std::size_t Inline>
class SmallArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  SmallArray() noexcept = default;
  explicit SmallArray(std::size_t size) : m_heap(size > Inline ? uninitialized_array<T>(size) : nullptr) {}

  [[nodiscard]] T* data() noexcept { return m_heap ? m_heap.get() : m_inline.data(); }
  [[nodiscard]] const T* data() const noexcept { return m_heap ? m_heap.get() : m_inline.data(); }
  [[nodiscard]] T& operator[](std::size_t index) noexcept { return data()[index]; }

 private:
  std::unique_ptr<T[]> m_heap;
  std::array<T, Inline> m_inline{};
};

}  // namespace brenlox_copt::backend
