// edits.cpp: checks and applies the model edits; nothing changes unless every argument passes.
#include "standin/library/edits.hpp"

#include <climits>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "standin/library/codes.hpp"

namespace brenlox_copt::standin {
namespace {

/// Column and row indices are ints, so no batch may take either count past INT_MAX.
[[nodiscard]] int check_batch_size(std::size_t existing, int count) {
  return count < 0 || existing + static_cast<std::size_t>(count) > std::size_t{INT_MAX} ? kInvalidCount : kOk;
}

template <class T>
[[nodiscard]] T element_or(const T* values, std::size_t index, T fallback) {
  return values == nullptr ? fallback : values[index];
}

[[nodiscard]] std::string name_at(const char* const* names, std::size_t index) {
  return names == nullptr || names[index] == nullptr ? std::string() : std::string(names[index]);
}

[[nodiscard]] bool is_column_type(char type) { return type == 'C' || type == 'B' || type == 'I'; }

/// The start every batch shares: the code to return when the call ends here (a bad count, an empty batch, or the
/// discard mode, which keeps the sizes the engine needs and drops the contents), nullopt to go on.
template <class Item>
[[nodiscard]] std::optional<int> begin_batch(Problem& problem, std::vector<Item>& items, int count, bool discard) {
  if (const int code = check_batch_size(items.size(), count); code != kOk) {
    return code;
  }
  if (count == 0) {
    return kOk;
  }
  if (discard) {
    items.resize(items.size() + static_cast<std::size_t>(count));
    problem.result.reset();
    return kOk;
  }
  return std::nullopt;
}

template <class Item>
void append(Problem& problem, std::vector<Item>& items, std::vector<Item>&& added) {
  items.insert(items.end(), std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
  problem.result.reset();
}

/// The entries of one row from the compressed arrays, checked against the problem's columns.
[[nodiscard]] int read_row_entries(const Problem& problem, const RowBatch& batch, std::size_t row,
                                   std::vector<RowEntry>& entries) {
  const int start = batch.starts[row];
  const int length = batch.counts[row];
  if (start < 0 || length < 0) {
    return kInvalidCount;
  }
  if (length > 0 && (batch.column_indices == nullptr || batch.values == nullptr)) {
    return kNullArgument;
  }
  entries.reserve(static_cast<std::size_t>(length));
  for (std::int64_t position = start; position < std::int64_t{start} + length; ++position) {
    const int column = batch.column_indices[position];
    const double value = batch.values[position];
    if (column < 0 || static_cast<std::size_t>(column) >= problem.columns.size()) {
      return kIndexOutOfRange;
    }
    if (!std::isfinite(value)) {
      return kInvalidValue;
    }
    entries.push_back({column, value});
  }
  return kOk;
}

}  // namespace

int add_columns(Problem& problem, const ColumnBatch& batch, bool discard) {
  if (const auto done = begin_batch(problem, problem.columns, batch.count, discard)) {
    return *done;
  }
  if (batch.starts != nullptr || batch.counts != nullptr || batch.row_indices != nullptr || batch.values != nullptr) {
    return kUnsupported;
  }
  const auto count = static_cast<std::size_t>(batch.count);
  std::vector<Column> added(count);
  for (std::size_t index = 0; index < count; ++index) {
    Column& column = added[index];
    column.type = element_or(batch.types, index, 'C');
    column.lower = element_or(batch.lower, index, 0.0);
    column.upper = element_or(batch.upper, index, kInfinity);
    column.objective = element_or(batch.costs, index, 0.0);
    if (!is_column_type(column.type) || std::isnan(column.lower) || std::isnan(column.upper) ||
        !std::isfinite(column.objective)) {
      return kInvalidValue;
    }
    column.name = name_at(batch.names, index);
  }
  append(problem, problem.columns, std::move(added));
  return kOk;
}

int add_rows(Problem& problem, const RowBatch& batch, bool discard) {
  if (const auto done = begin_batch(problem, problem.rows, batch.count, discard)) {
    return *done;
  }
  if (batch.senses != nullptr) {
    return kUnsupported;
  }
  if (batch.starts == nullptr || batch.counts == nullptr) {
    return kNullArgument;
  }
  const auto count = static_cast<std::size_t>(batch.count);
  std::vector<Row> added(count);
  std::size_t elements = 0;
  for (std::size_t index = 0; index < count; ++index) {
    Row& row = added[index];
    if (const int code = read_row_entries(problem, batch, index, row.entries); code != kOk) {
      return code;
    }
    row.lower = element_or(batch.lower, index, -kInfinity);
    row.upper = element_or(batch.upper, index, kInfinity);
    if (std::isnan(row.lower) || std::isnan(row.upper)) {
      return kInvalidValue;
    }
    row.name = name_at(batch.names, index);
    elements += row.entries.size();
  }
  append(problem, problem.rows, std::move(added));
  problem.elements += elements;
  return kOk;
}

int set_column_objective(Problem& problem, int count, const int* indices, const double* values, bool discard) {
  if (count < 0) {
    return kInvalidCount;
  }
  if (count == 0) {
    return kOk;
  }
  if (!discard) {
    if (indices == nullptr || values == nullptr) {
      return kNullArgument;
    }
    const auto length = static_cast<std::size_t>(count);
    for (std::size_t index = 0; index < length; ++index) {
      if (indices[index] < 0 || static_cast<std::size_t>(indices[index]) >= problem.columns.size()) {
        return kIndexOutOfRange;
      }
      if (!std::isfinite(values[index])) {
        return kInvalidValue;
      }
    }
    for (std::size_t index = 0; index < length; ++index) {
      problem.columns[static_cast<std::size_t>(indices[index])].objective = values[index];
    }
  }
  problem.result.reset();
  return kOk;
}

int set_objective_constant(Problem& problem, double constant) {
  if (!std::isfinite(constant)) {
    return kInvalidValue;
  }
  problem.objective_constant = constant;
  problem.result.reset();
  return kOk;
}

int set_objective_sense(Problem& problem, int sense) {
  if (sense != 1 && sense != -1) {
    return kInvalidValue;
  }
  problem.objective_sense = sense;
  problem.result.reset();
  return kOk;
}

}  // namespace brenlox_copt::standin
