// objects.hpp: what lies behind the stand-in's handles: configurations, environments and problems, as plain data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace brenlox_copt::standin {

/// Bounds at or beyond this magnitude mean infinite.
inline constexpr double kInfinity = 1e30;

/// Every handle carries its test-facing name ("env1") and a serial that orders handles by creation.
struct HandleIdentity {
  std::string name;
  std::uint64_t serial = 0;
};

struct Config : HandleIdentity {
  std::map<std::string, std::string> settings;
};

struct Env : HandleIdentity {
  /// Copied from the configuration at creation; later changes to the configuration do not reach the environment.
  std::map<std::string, std::string> settings;
  /// Live problems; an environment with problems refuses deletion, so a problem never outlives its environment.
  std::size_t problems = 0;
};

struct Column {
  std::string name;
  char type = 'C';
  double lower = 0.0;
  double upper = kInfinity;
  double objective = 0.0;
};

struct RowEntry {
  int column = 0;
  double value = 0.0;
};

struct Row {
  std::string name;
  double lower = -kInfinity;
  double upper = kInfinity;
  /// In the order received; a column may appear more than once.
  std::vector<RowEntry> entries;
};

using ParameterValue = std::variant<int, double>;

/// The outcome of the last solve, as the attribute and solution entry points report it.
struct SolveResult {
  int status = 0;
  int has_solution = 0;
  int is_mip = 0;
  double objective = 0.0;
  std::vector<double> values;
  double solving_time = 0.0;
};

struct Problem : HandleIdentity {
  Env* env = nullptr;
  std::vector<Column> columns;
  std::vector<Row> rows;
  std::size_t elements = 0;
  double objective_constant = 0.0;
  int objective_sense = 1;
  /// Only the parameters set explicitly, by name; the others keep their defaults.
  std::map<std::string, ParameterValue> parameters;
  /// Absent before the first solve and after every change to the model.
  std::optional<SolveResult> result;
};

/// A problem with an integer or binary column is solved as a MIP.
[[nodiscard]] inline bool has_integer_columns(const Problem& problem) noexcept {
  for (const Column& column : problem.columns) {
    if (column.type != 'C') {
      return true;
    }
  }
  return false;
}

}  // namespace brenlox_copt::standin
