// row_starts.hpp: RowStarts, where each row of a constraint batch starts among its entries.
#pragma once

#include <algorithm>
#include <cstddef>
#include <span>

namespace brenlox_copt::backend {

/// Where each row of a batch starts among its entries: n + 1 offsets, row k spanning entries [offsets[k],
/// offsets[k + 1]); or, for rows that all have one length (a two-dimensional array's), only that length, so that
/// such a batch needs no offsets array at all.
class RowStarts {
 public:
  /// No rows.
  RowStarts() noexcept = default;
  explicit RowStarts(std::span<const std::size_t> offsets) noexcept : m_offsets(offsets) {}
  [[nodiscard]] static RowStarts uniform(std::size_t rows, std::size_t length) noexcept {
    RowStarts starts;
    starts.m_rows = rows;
    starts.m_length = length;
    starts.m_uniform = true;
    return starts;
  }

  [[nodiscard]] std::size_t rows() const noexcept {
    if (m_uniform) {
      return m_rows;
    }
    return m_offsets.empty() ? 0 : m_offsets.size() - 1;
  }

  /// Whether these are the starts of `rows` rows over `entries` entries: from 0 to the end of the entries. The
  /// offsets' order is for the reader to check as it goes.
  [[nodiscard]] bool describe(std::size_t rows, std::size_t entries) const noexcept {
    if (this->rows() != rows) {
      return false;
    }
    if (m_uniform) {
      return m_length == 0 ? entries == 0 : entries % m_length == 0 && entries / m_length == rows;
    }
    return m_offsets.empty() ? entries == 0 : m_offsets.front() == 0 && m_offsets.back() == entries;
  }

  /// Where row k starts, for k up to the number of rows (the last is where the last row ends).
  [[nodiscard]] std::size_t operator[](std::size_t k) const noexcept {
    return m_uniform ? k * m_length : m_offsets[k];
  }

  /// Equal rows, found without a walk: rows of one length against rows of one length, or the same offsets. Starts of
  /// the two kinds compare unequal, whatever rows they give.
  [[nodiscard]] bool same_as(const RowStarts& other) const noexcept {
    if (m_uniform != other.m_uniform) {
      return false;
    }
    if (m_uniform) {
      return m_rows == other.m_rows && m_length == other.m_length;
    }
    return std::ranges::equal(m_offsets, other.m_offsets);
  }

 private:
  std::span<const std::size_t> m_offsets;
  std::size_t m_rows = 0;
  std::size_t m_length = 0;
  bool m_uniform = false;
};

}  // namespace brenlox_copt::backend
