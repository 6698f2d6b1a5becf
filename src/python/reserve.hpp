// reserve.hpp: how the conversions make room for the values they are about to append.
#pragma once

#include <algorithm>
#include <cstddef>
#include <exception>
#include <type_traits>

#include "backend/memory_advice.hpp"

namespace brenlox_copt::python::detail {

/// Makes room for `count` more values, growing geometrically so that the rows of a sequence of sequences, appended
/// to one vector, do not each reallocate. A large vector of plain values, about to be filled once, is advised onto
/// huge pages first (most of what filling fresh memory costs is its page faults).
template <class Values>
void reserve_more(Values& values, std::size_t count) {
  const std::size_t needed = values.size() + count;
  if (needed <= values.capacity()) {
    return;
  }
  values.reserve(std::max(needed, 2 * values.capacity()));
  if constexpr (requires { typename Values::value_type; }) {
    using Value = typename Values::value_type;
    if constexpr (std::is_trivially_copyable_v<Value>) {
      backend::advise_huge_pages(values.data(), values.capacity() * sizeof(Value));
    }
  }
}

/// A reported length is only a hint: a __len__ may claim far more than iteration yields, so failing to reserve
/// that much is not an error (iteration decides the real size).
template <class Reserve>
void reserve_hint(Reserve&& reserve, std::size_t count) noexcept {
  try {
    reserve(count);
  } catch (const std::exception&) {
  }
}

}  // namespace brenlox_copt::python::detail
