// batch_support.cpp: the name arrays of variable and constraint batches.
#include "backend/batch_support.hpp"

#include <charconv>
#include <utility>

namespace brenlox_copt::backend {

namespace {

[[nodiscard]] std::size_t decimal_digits(std::uint64_t value) noexcept {
  std::size_t digits = 1;
  while (value >= 10) {
    value /= 10;
    ++digits;
  }
  return digits;
}

}  // namespace

Result<BatchNames> BatchNames::of(const std::optional<std::span<const TerminatedText>>& given_names,
                                  std::string_view what, char prefix, std::uint64_t first_id, std::size_t count) {
  if (given_names) {
    return given(*given_names, what);
  }
  return generated(prefix, first_id, count);
}

BatchNames BatchNames::generated(char prefix, std::uint64_t first_id, std::size_t count) {
  BatchNames names;
  if (count == 0) {
    return names;
  }
  // No id of the batch has more digits than the last, so every name fits this width and the buffer never moves.
  const std::size_t width = 2 + decimal_digits(first_id + (count - 1));
  names.m_buffer = uninitialized_array<char>(count * width);
  names.m_pointers.resize(count);
  char* cursor = names.m_buffer.get();
  for (std::size_t i = 0; i < count; ++i) {
    names.m_pointers[i] = cursor;
    *cursor++ = prefix;
    cursor = std::to_chars(cursor, cursor + width, first_id + i).ptr;
    *cursor++ = '\0';
  }
  return names;
}

Result<BatchNames> BatchNames::given(std::span<const TerminatedText> names, std::string_view what) {
  BatchNames result;
  result.m_pointers.reserve(names.size());
  for (const TerminatedText& name : names) {
    if (auto checked = check_no_nul(name.view(), what); !checked) {
      return std::unexpected(std::move(checked.error()));
    }
    result.m_pointers.push_back(name.c_str());
  }
  return result;
}

}  // namespace brenlox_copt::backend
