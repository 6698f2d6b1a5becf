// prepared_batch.hpp: batches of variables and constraints that passed every check, owned until their one native call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "backend/batch_names.hpp"
#include "backend/copt_api.h"
#include "backend/small_array.hpp"

namespace brenlox_copt::backend {

/// Consecutive ids handed out by one batch: first, first + 1, ..., first + count - 1.
struct IdRange {
  std::uint64_t first = 0;
  std::uint64_t count = 0;
};

class BackendModel;

/// What every prepared batch carries: the ids it takes, its names and the problem it was prepared for. Move-only, so
/// a batch is committed at most once; a batch the model has moved past since (its ids taken) is refused at commit.
class PreparedBatch {
 public:
  [[nodiscard]] IdRange ids() const noexcept { return m_ids; }

 protected:
  PreparedBatch(const copt_prob* problem, IdRange ids, BatchNames names) noexcept
      : m_problem(problem), m_ids(ids), m_names(std::move(names)) {}

 private:
  friend class BackendModel;

  const copt_prob* m_problem;
  IdRange m_ids;
  BatchNames m_names;
};

/// One side of a variable batch's bounds: the given list (`given`), or, when that is null, the batch's own array.
struct ColumnBounds {
  const double* given;
  SmallArray<double, 1> own;

  [[nodiscard]] const double* data() const noexcept { return given != nullptr ? given : own.data(); }
};

/// Variables ready for COPT_AddCols. It owns its type bytes and any bounds that were absent; it views the given
/// bounds (clamped in place by the checks) and the given names, which must outlive the commit.
class PreparedColumns : public PreparedBatch {
 private:
  friend class BackendModel;

  struct Arrays {
    SmallArray<char, 1> types;
    ColumnBounds lower;
    ColumnBounds upper;
  };
  PreparedColumns(const copt_prob* problem, IdRange ids, BatchNames names, Arrays arrays) noexcept
      : PreparedBatch(problem, ids, std::move(names)), m_arrays(std::move(arrays)) {}

  Arrays m_arrays;
};

/// The solver's arrays of a constraint batch: each row's start, length and bounds, and every entry's column. A single
/// row of up to kInlineEntries entries needs no allocation.
struct RowArrays {
  static constexpr std::size_t kInlineEntries = 8;
  SmallArray<std::int32_t, 1> starts;
  SmallArray<std::int32_t, 1> counts;
  SmallArray<std::int32_t, kInlineEntries> columns;
  SmallArray<double, 1> lower;
  SmallArray<double, 1> upper;
};

/// Constraints ready for COPT_AddRows. It owns the row arrays and the coefficients (taken over from the batch, as the
/// solver reads them as they are); of its input it only views given names (BatchNames says so).
class PreparedRows : public PreparedBatch {
 private:
  friend class BackendModel;

  PreparedRows(const copt_prob* problem, IdRange ids, BatchNames names, RowArrays rows,
               std::vector<double> coefficients) noexcept
      : PreparedBatch(problem, ids, std::move(names)), m_rows(std::move(rows)), m_coefficients(std::move(coefficients)) {}

  RowArrays m_rows;
  std::vector<double> m_coefficients;
};

}  // namespace brenlox_copt::backend
