// recording_solver.hpp: an in-process solver for backend tests: every entry point records its call and arguments and
// answers what the test scripted, so tests can assert the exact native calls of each operation.
#pragma once

#include <doctest/doctest.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "backend/error.hpp"
#include "backend/function_table.hpp"
#include "backend/library.hpp"
#include "backend/model.hpp"

namespace brenlox_copt::testing {

/// The arguments of one COPT_AddCols call.
struct AddedColumns {
  int count = 0;
  bool matrix_arguments_null = false;  // the five arguments before the types
  std::string types;
  std::vector<double> lower;
  std::vector<double> upper;
  std::vector<std::string> names;
};

/// The arguments of one COPT_AddRows call.
struct AddedRows {
  int count = 0;
  std::vector<int> starts;
  std::vector<int> counts;
  bool columns_null = false;
  bool values_null = false;
  bool senses_null = false;
  const double* values_address = nullptr;
  std::vector<int> columns;
  std::vector<double> values;
  std::vector<double> lower;
  std::vector<double> upper;
  std::vector<std::string> names;
};

/// The arguments of one COPT_SetColObj call.
struct ObjectiveCoefficients {
  std::vector<int> indices;
  std::vector<double> values;
};

/// One scripted solver; exactly one may exist at a time, and the function table talks to it.
class RecordingSolver {
 public:
  RecordingSolver();
  RecordingSolver(const RecordingSolver&) = delete;
  RecordingSolver& operator=(const RecordingSolver&) = delete;
  ~RecordingSolver();

  /// A new library share over the recording table; its release is logged as "unload".
  [[nodiscard]] backend::LibraryShare load();

  /// Makes the entry point `name` return `status` from now on; `name` may also be a whole logged line such as
  /// "COPT_GetIntAttr(HasSol)", which then wins over the entry point's status.
  void fail(const std::string& name, int status) { statuses[name] = status; }
  /// Handles created and not yet deleted.
  [[nodiscard]] std::size_t live_handles() const { return m_live.size(); }

  // Scripted answers.
  std::map<std::string, int, std::less<>> statuses;
  std::set<std::string, std::less<>> null_handles;  // creators that report success without a handle
  bool handle_on_failure = false;                   // failing creators still hand out a handle
  std::string retcode_message;                      // COPT_GetRetcodeMsg's text (its status comes from `statuses`)
  std::map<std::string, int, std::less<>> int_attributes{{"Status", 1}, {"HasSol", 1}, {"IsMIP", 0}};
  double objective_value = 0.0;
  std::vector<double> solution;  // what the solution calls write, one value per column asked for

  // Records: one line per call ("COPT_SetIntParam(Logging, 0)", "COPT_DeleteProb(prob1)", "unload"), and the
  // arrays of the calls that pass them.
  std::vector<std::string> calls;
  std::vector<AddedColumns> added_columns;
  std::vector<AddedRows> added_rows;
  std::vector<ObjectiveCoefficients> objectives;

  // Used by the table's functions.
  [[nodiscard]] int status_of(std::string_view name) const;
  /// Logs `line`; hands out a new handle named after `kind` when the script says the creator returns one.
  [[nodiscard]] void* create_handle(std::string_view creator, std::string line, const char* kind, int status);
  [[nodiscard]] std::string handle_name(const void* handle) const;
  void delete_handle(std::string_view deleter, void* handle);

 private:
  std::map<const void*, std::string> m_live;
  std::vector<std::unique_ptr<char>> m_tokens;
  int m_next_handle = 1;
};

/// A call log, as RecordingSolver::calls holds it.
using Calls = std::vector<std::string>;

inline constexpr double kInf = std::numeric_limits<double>::infinity();
inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

/// The recording solver's function table.
[[nodiscard]] const backend::FunctionTable& recording_table();

/// A model with `variables` default variables on a new plain environment of a new load; the log starts empty.
[[nodiscard]] backend::BackendModel new_model(RecordingSolver& solver, std::uint64_t variables = 0);

/// Solves `model` so that it holds cached results (every variable 1.5, objective 7); the log is cleared again.
void solve_to_cached_results(backend::BackendModel& model, RecordingSolver& solver);

/// Adds as the module does: the batch is prepared (every check, its ids), then committed (the one native call).
template <class Prepared>
[[nodiscard]] backend::Result<backend::IdRange> commit_prepared(backend::BackendModel& model,
                                                                backend::Result<Prepared> prepared) {
  if (!prepared) {
    return std::unexpected(std::move(prepared.error()));
  }
  return model.commit(std::move(*prepared));
}

[[nodiscard]] inline backend::Result<backend::IdRange> add_variables(backend::BackendModel& model, std::uint64_t n,
                                                                     const backend::VariableColumns& columns = {}) {
  return commit_prepared(model, model.prepare_variables(n, columns));
}

[[nodiscard]] inline backend::Result<backend::IdRange> add_constraints(backend::BackendModel& model,
                                                                       backend::ConstraintBatch batch) {
  return commit_prepared(model, model.prepare_constraints(std::move(batch)));
}

/// One constraint; its id.
[[nodiscard]] inline backend::Result<std::uint64_t> add_constraint(
    backend::BackendModel& model, backend::RowFunction function, backend::ConstraintSet set,
    std::optional<backend::TerminatedText> name = std::nullopt) {
  auto ids = commit_prepared(model, model.prepare_constraint(std::move(function), set, name));
  if (!ids) {
    return std::unexpected(std::move(ids.error()));
  }
  return ids->first;
}

/// The model's counts, as the first ids of its next batches show them.
[[nodiscard]] inline std::uint64_t variable_count(const backend::BackendModel& model) {
  return model.prepare_variables(0).value().ids().first;
}
[[nodiscard]] inline std::uint64_t constraint_count(const backend::BackendModel& model) {
  return model.prepare_constraints({}).value().ids().first;
}

/// The display text of a failed result.
template <class T>
[[nodiscard]] std::string error_text(const backend::Result<T>& result) {
  return result.has_value() ? std::string("(no error)") : result.error().display();
}

}  // namespace brenlox_copt::testing

/// Failed comparisons of recorded arrays show their elements.
template <class T>
struct doctest::StringMaker<std::vector<T>> {
  static doctest::String convert(const std::vector<T>& values) {
    doctest::String text = "{";
    for (std::size_t i = 0; i < values.size(); ++i) {
      text += (i == 0 ? "" : ", ") + doctest::toString(values[i]);
    }
    return text + "}";
  }
};
