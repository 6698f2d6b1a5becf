// rows.hpp: Rows, a sequence of sequences stored flat: one values vector plus row offsets, no allocation per row.
#pragma once

#include <cstddef>
#include <span>
#include <utility>
#include <vector>

#include "python/reserve.hpp"

namespace brenlox_copt::python {

/// A sequence of sequences stored flat: every row's values one after another in `values()`, and `size() + 1`
/// offsets, row i spanning values [offsets[i], offsets[i + 1]).
template <class T>
class Rows {
 public:
  [[nodiscard]] std::size_t size() const noexcept { return m_offsets.size() - 1; }
  [[nodiscard]] std::span<const T> operator[](std::size_t row) const noexcept {
    return std::span<const T>(m_values).subspan(m_offsets[row], m_offsets[row + 1] - m_offsets[row]);
  }
  [[nodiscard]] std::span<const T> values() const noexcept { return m_values; }
  [[nodiscard]] std::span<const std::size_t> offsets() const noexcept { return m_offsets; }
  /// Takes the flat values out and gives the offsets' memory back at once; only destruction may follow.
  [[nodiscard]] std::vector<T> take_values() && noexcept {
    std::vector<std::size_t>().swap(m_offsets);
    return std::move(m_values);
  }

  // Building, used by the conversion: a row's values are appended to `open_row()`, then `end_row()` closes it.
  void reserve_rows(std::size_t rows) { detail::reserve_more(m_offsets, rows); }
  void reserve_values(std::size_t count) { detail::reserve_more(m_values, count); }
  [[nodiscard]] std::vector<T>& open_row() noexcept { return m_values; }
  void end_row() { m_offsets.push_back(m_values.size()); }
  /// Closes `count` rows of `length` values each, appended to `open_row()` one after another.
  void end_rows(std::size_t count, std::size_t length) {
    reserve_rows(count);
    for (std::size_t row = 0; row < count; ++row) {
      m_offsets.push_back(m_offsets.back() + length);
    }
  }

 private:
  std::vector<T> m_values;
  std::vector<std::size_t> m_offsets = std::vector<std::size_t>(1, 0);
};

}  // namespace brenlox_copt::python
