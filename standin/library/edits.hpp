// edits.hpp: the model edits behind COPT_AddCols, COPT_AddRows and the objective setters: check all, then apply.
#pragma once

#include "standin/state/objects.hpp"

namespace brenlox_copt::standin {

/// The arguments of COPT_AddCols after the problem.
struct ColumnBatch {
  int count;
  const int* starts;
  const int* counts;
  const int* row_indices;
  const double* values;
  const double* costs;
  const char* types;
  const double* lower;
  const double* upper;
  const char* const* names;
};

/// The arguments of COPT_AddRows after the problem.
struct RowBatch {
  int count;
  const int* starts;
  const int* counts;
  const int* column_indices;
  const double* values;
  const char* senses;
  const double* lower;
  const double* upper;
  const char* const* names;
};

/// Each edit either applies completely and clears the last solve's result, or returns a code and changes nothing.
/// With `discard`, only the count is checked and default columns or rows stand in for the contents.
[[nodiscard]] int add_columns(Problem& problem, const ColumnBatch& batch, bool discard);
[[nodiscard]] int add_rows(Problem& problem, const RowBatch& batch, bool discard);
[[nodiscard]] int set_column_objective(Problem& problem, int count, const int* indices, const double* values,
                                       bool discard);
[[nodiscard]] int set_objective_constant(Problem& problem, double constant);
[[nodiscard]] int set_objective_sense(Problem& problem, int sense);

}  // namespace brenlox_copt::standin
