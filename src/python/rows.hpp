// rows.hpp: Rows, a sequence of sequences stored flat: one values vector plus row offsets, no allocation per row.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "backend/row_starts.hpp"
#include "python/reserve.hpp"

namespace brenlox_copt::python {

/// A sequence of sequences stored flat: every row's values one after another in `values()`, row i spanning values
/// [starts()[i], starts()[i + 1]). Rows built one by one keep `size() + 1` offsets; rows closed together with one
/// length (a two-dimensional array's) keep only that length.
template <class T>
class Rows {
 public:
  [[nodiscard]] std::size_t size() const noexcept { return starts().rows(); }
  [[nodiscard]] std::span<const T> operator[](std::size_t row) const noexcept {
    const backend::RowStarts at = starts();
    return std::span<const T>(m_values).subspan(at[row], at[row + 1] - at[row]);
  }
  [[nodiscard]] std::span<const T> values() const noexcept { return m_values; }
  [[nodiscard]] backend::RowStarts starts() const noexcept {
    return m_one_length ? *m_one_length : backend::RowStarts(m_offsets);
  }
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
  /// Makes these `count` rows of `length` values each, appended to `open_row()` one after another; only on rows that
  /// have none yet.
  void end_rows(std::size_t count, std::size_t length) noexcept {
    m_one_length = backend::RowStarts::uniform(count, length);
  }

 private:
  std::vector<T> m_values;
  std::vector<std::size_t> m_offsets = std::vector<std::size_t>(1, 0);
  /// Set for rows closed together by end_rows; the offsets are then unused.
  std::optional<backend::RowStarts> m_one_length;
};

}  // namespace brenlox_copt::python
