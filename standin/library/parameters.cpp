// parameters.cpp: the parameter table with kinds, defaults and ranges (listed in standin/README.md).
#include "standin/library/parameters.hpp"

#include <array>
#include <limits>
#include <string_view>
#include <variant>

#include "standin/library/codes.hpp"

namespace brenlox_copt::standin {
namespace {

struct ParameterSpec {
  std::string_view name;
  bool is_integer;
  double default_value;
  double minimum;
  double maximum;
};

constexpr double kUnlimited = std::numeric_limits<double>::infinity();

constexpr std::array kParameters = {
    ParameterSpec{"Logging", true, 1, 0, 1},
    ParameterSpec{"TimeLimit", false, kInfinity, 0, kUnlimited},
    ParameterSpec{"RelGap", false, 0, 0, kUnlimited},
    ParameterSpec{"FeasTol", false, 1e-7, 1e-12, 0.5},
    ParameterSpec{"DualTol", false, 1e-7, 1e-12, 0.5},
    ParameterSpec{"IntTol", false, 1e-5, 1e-12, 0.5},
};

const ParameterSpec* find_parameter(std::string_view name) {
  for (const ParameterSpec& spec : kParameters) {
    if (spec.name == name) {
      return &spec;
    }
  }
  return nullptr;
}

[[nodiscard]] double as_double(const ParameterValue& value) {
  return std::visit([](auto given) { return static_cast<double>(given); }, value);
}

[[nodiscard]] int set_parameter(Problem& problem, const char* name, ParameterValue value) {
  if (name == nullptr) {
    return kNullArgument;
  }
  const ParameterSpec* spec = find_parameter(name);
  if (spec == nullptr) {
    return kUnknownParameter;
  }
  if (spec->is_integer != std::holds_alternative<int>(value)) {
    return kParameterKind;
  }
  const double number = as_double(value);
  // Written so that NaN fails too.
  if (!(number >= spec->minimum && number <= spec->maximum)) {
    return kParameterValue;
  }
  problem.parameters.insert_or_assign(std::string(spec->name), value);
  return kOk;
}

[[nodiscard]] double value_of(const Problem& problem, std::string_view name) {
  const auto set = problem.parameters.find(std::string(name));
  if (set == problem.parameters.end()) {
    return find_parameter(name)->default_value;
  }
  return as_double(set->second);
}

}  // namespace

int set_int_parameter(Problem& problem, const char* name, int value) {
  return set_parameter(problem, name, ParameterValue(value));
}

int set_double_parameter(Problem& problem, const char* name, double value) {
  return set_parameter(problem, name, ParameterValue(value));
}

SolverSettings settings_of(const Problem& problem) {
  return {
      value_of(problem, "Logging") != 0,  value_of(problem, "TimeLimit"), value_of(problem, "RelGap"),
      value_of(problem, "FeasTol"),       value_of(problem, "DualTol"),   value_of(problem, "IntTol"),
  };
}

}  // namespace brenlox_copt::standin
