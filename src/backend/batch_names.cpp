// batch_names.cpp: the name arrays of variable and constraint batches, given or generated.
#include "backend/batch_names.hpp"

#include "backend/batch_support.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <string_view>
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

/// The decimal digits of a number that counts up by one: each step changes the last digits in place, which costs a
/// fraction of formatting every id anew.
class DecimalCounter {
 public:
  explicit DecimalCounter(std::uint64_t value) noexcept {
    const auto written = std::to_chars(m_digits.data(), m_digits.data() + m_digits.size(), value).ptr;
    m_begin = m_digits.size() - static_cast<std::size_t>(written - m_digits.data());
    std::memmove(m_digits.data() + m_begin, m_digits.data(), m_digits.size() - m_begin);
  }

  [[nodiscard]] std::string_view digits() const noexcept {
    return {m_digits.data() + m_begin, m_digits.size() - m_begin};
  }

  /// Room for 24 digits: any 64-bit id has at most 20, and so has the one after it.
  void increment() noexcept {
    for (std::size_t i = m_digits.size(); i > m_begin;) {
      --i;
      if (m_digits[i] != '9') {
        ++m_digits[i];
        return;
      }
      m_digits[i] = '0';
    }
    m_digits[--m_begin] = '1';
  }

 private:
  std::array<char, 24> m_digits{};
  std::size_t m_begin = 0;
};

}  // namespace

Result<BatchNames> BatchNames::of(const std::optional<std::span<const TerminatedText>>& given_names,
                                  std::string_view what, char prefix, std::uint64_t first_id, std::size_t count) {
  if (given_names) {
    return given(*given_names, what);
  }
  return generated(prefix, first_id, count);
}

BatchNames::OneGenerated::OneGenerated(char prefix, std::uint64_t id) noexcept {
  m_text[0] = prefix;
  std::to_chars(m_text.data() + 1, m_text.data() + m_text.size(), id);
}

BatchNames BatchNames::generated(char prefix, std::uint64_t first_id, std::size_t count) {
  if (count == 1) {
    return BatchNames(std::in_place_type<OneGenerated>, prefix, first_id);
  }
  // No id of the batch has more digits than the last, so every name fits this width and the buffer never moves.
  const std::size_t width = 2 + decimal_digits(first_id + (count - 1));
  Generated names{count == 0 ? nullptr : uninitialized_array<char>(count * width), SmallArray<const char*, 1>(count)};
  char* cursor = names.text.get();
  DecimalCounter id(first_id);
  for (std::size_t i = 0; i < count; ++i) {
    names.items[i] = cursor;
    *cursor++ = prefix;
    const std::string_view digits = id.digits();
    cursor = std::copy(digits.begin(), digits.end(), cursor);
    *cursor++ = '\0';
    id.increment();
  }
  return BatchNames(std::in_place_type<Generated>, std::move(names));
}

Result<BatchNames> BatchNames::given(std::span<const TerminatedText> names, std::string_view what) {
  Given views{SmallArray<const char*, 1>(names.size())};
  for (std::size_t i = 0; i < names.size(); ++i) {
    BRENLOX_PASS_UP_IF_FAILED(check_no_nul(names[i].view(), what));
    views.items[i] = names[i].c_str();
  }
  return BatchNames(std::in_place_type<Given>, std::move(views));
}

}  // namespace brenlox_copt::backend
