// model.cpp: BackendModel creation and release, and the addition of variables.
#include "backend/model.hpp"

#include <limits>
#include <string>
#include <utility>

#include "backend/batch_support.hpp"
#include "backend/number_text.hpp"
#include "backend/utf8_text.hpp"

namespace brenlox_copt::backend {

namespace {

struct CreatedProblem {
  LibraryShare library;
  ProblemHandle problem;
};

/// Takes the model's library share and creates the problem, all under the environment's lock; on failure the
/// share and any returned problem are gone before the lock is released.
[[nodiscard]] Result<CreatedProblem> create_problem_locked(EnvironmentRecord& record) {
  auto guard = record.lock();
  if (!guard) {
    return std::unexpected(std::move(guard.error()));
  }
  const NativeEnvironment& environment = guard->environment();
  LibraryShare library = environment.library();
  const FunctionTable& table = library->table();
  copt_prob* returned = nullptr;
  const int status = table.COPT_CreateProb(environment.handle(), &returned);
  ProblemHandle problem(table, returned);
  if (status != 0) {
    problem.reset();
    return std::unexpected(native_call_error(table, status, "COPT_CreateProb"));
  }
  if (!problem) {
    return std::unexpected(BackendError::backend_state("COPT_CreateProb succeeded without returning a problem"));
  }
  return CreatedProblem{std::move(library), std::move(problem)};
}

/// A present list of per-variable bounds must have n entries and no NaN.
[[nodiscard]] Status check_bound_list(const std::optional<std::span<const double>>& bounds, std::uint64_t n,
                                      std::string_view what) {
  if (!bounds) {
    return {};
  }
  if (auto length = check_length(bounds->size(), n, what); !length) {
    return std::unexpected(std::move(length.error()));
  }
  return check_no_nan(*bounds, what);
}

/// One pass over the bounds of a batch (absent lists read as 0 and +inf) that writes them clamped to the solver's
/// range, a pair that is NaN or out of order as it is; false when a list has the wrong length (nothing written) or
/// such a pair was met.
[[nodiscard]] bool clamp_bounds(const VariableColumns& columns, std::size_t size, double* lower,
                                double* upper) noexcept {
  if ((columns.lower_bounds && columns.lower_bounds->size() != size) ||
      (columns.upper_bounds && columns.upper_bounds->size() != size)) {
    return false;
  }
  // Generic over how each side is read, so that a side given as a constant costs no load and no test per element.
  const auto pass = [&](auto low_at, auto high_at) {
    bool ordered = true;
    for (std::size_t i = 0; i < size; ++i) {
      const double low = low_at(i);
      const double high = high_at(i);
      // False for NaN on either side as well; compared as given, so that equal infinite bounds pass.
      const bool pair_ordered = low <= high;
      ordered &= pair_ordered;
      lower[i] = pair_ordered ? clamp_to_solver_range(low) : low;
      upper[i] = pair_ordered ? clamp_to_solver_range(high) : high;
    }
    return ordered;
  };
  const auto given = [](std::span<const double> values) { return [values](std::size_t i) { return values[i]; }; };
  const auto fixed = [](double value) { return [value](std::size_t) { return value; }; };
  const auto with_high = [&](auto low_at) {
    return columns.upper_bounds ? pass(low_at, given(*columns.upper_bounds))
                                : pass(low_at, fixed(std::numeric_limits<double>::infinity()));
  };
  return columns.lower_bounds ? with_high(given(*columns.lower_bounds)) : with_high(fixed(0.0));
}

/// The checks of a batch's bounds in the order they are stated: each list's length and NaN check, lower bounds
/// first, then the first variable whose lower bound exceeds its upper bound. Run when clamp_bounds refuses, to name
/// the error.
[[nodiscard]] Status check_bounds(const VariableColumns& columns, std::uint64_t n, std::uint64_t first_id) {
  if (auto checked = check_bound_list(columns.lower_bounds, n, "lower bounds"); !checked) {
    return checked;
  }
  if (auto checked = check_bound_list(columns.upper_bounds, n, "upper bounds"); !checked) {
    return checked;
  }
  for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
    const double low = columns.lower_bounds ? (*columns.lower_bounds)[i] : 0.0;
    const double high = columns.upper_bounds ? (*columns.upper_bounds)[i] : std::numeric_limits<double>::infinity();
    if (low > high) {
      return std::unexpected(BackendError::invalid_input("variable " + std::to_string(first_id + i) +
                                                         " has lower bound " + format_number(low) +
                                                         " greater than upper bound " + format_number(high)));
    }
  }
  return {};
}

/// The character as the message shows it; a code point that no text can hold shows as U+FFFD.
[[nodiscard]] std::string type_text(char32_t code_point) {
  const bool scalar = code_point <= 0x10FFFF && (code_point < 0xD800 || code_point > 0xDFFF);
  std::string text;
  append_utf8(text, scalar ? code_point : U'\uFFFD');
  return text;
}

/// One type byte per variable: the given characters, each 'C', 'B' or 'I', or 'C' for all.
[[nodiscard]] Result<std::unique_ptr<char[]>> variable_types(const std::optional<std::span<const char32_t>>& types,
                                                             std::size_t n) {
  auto bytes = uninitialized_array<char>(n);
  if (!types) {
    std::fill_n(bytes.get(), n, 'C');
    return bytes;
  }
  if (auto length = check_length(types->size(), n, "variable types"); !length) {
    return std::unexpected(std::move(length.error()));
  }
  for (std::size_t i = 0; i < n; ++i) {
    const char32_t type = (*types)[i];
    if (type != U'C' && type != U'B' && type != U'I') {
      return std::unexpected(BackendError::invalid_input("unsupported COPT variable type '" + type_text(type) +
                                                         "'; expected 'C', 'B', or 'I'"));
    }
    bytes[i] = static_cast<char>(type);
  }
  return bytes;
}

}  // namespace

Result<BackendModel> BackendModel::create(EnvironmentShare environment) {
  auto created = create_problem_locked(*environment);
  if (!created) {
    return std::unexpected(std::move(created.error()));
  }
  return BackendModel(std::move(environment), std::move(created->library), std::move(created->problem));
}

BackendModel::BackendModel(EnvironmentShare environment, LibraryShare library, ProblemHandle problem) noexcept
    : m_environment(std::move(environment)), m_library(std::move(library)), m_problem(std::move(problem)) {}

BackendModel::~BackendModel() {
  // The problem goes while its environment and library live; the environment (its last share deletes it) goes
  // before the model's own library share, so the library is unloaded last.
  m_problem.reset();
  m_environment.reset();
  m_library.reset();
  m_solution.reset();
}

void BackendModel::clear_results() noexcept {
  m_solution.reset();
  m_objective_value.reset();
}

std::optional<double> BackendModel::get_var_value(std::uint64_t id) const noexcept {
  if (!m_solution || id >= m_solution->size()) {
    return std::nullopt;
  }
  return (*m_solution)[static_cast<std::size_t>(id)];
}

Status BackendModel::ready_to_add(const BeforeAdding& before_adding, IdRange ids) {
  if (before_adding && !before_adding(ids)) {
    return std::unexpected(BackendError::backend_state("the caller stopped the batch before it was added"));
  }
  return {};
}

Result<IdRange> BackendModel::add_variables(std::uint64_t n, const VariableColumns& columns,
                                            const BeforeAdding& before_adding) {
  auto count = to_c_int(n, "variable count");
  if (!count) {
    return std::unexpected(std::move(count.error()));
  }
  if (n > std::numeric_limits<std::uint64_t>::max() - m_variable_count) {
    return std::unexpected(BackendError::invalid_input("variable count overflow"));
  }
  const auto size = static_cast<std::size_t>(n);
  // Given bounds are clamped where they are; only an absent side needs an array of its own.
  const auto storage = [size](const std::optional<std::span<double>>& given, std::unique_ptr<double[]>& own) {
    if (given) {
      return given->data();
    }
    own = uninitialized_array<double>(size);
    return own.get();
  };
  std::unique_ptr<double[]> own_lower;
  std::unique_ptr<double[]> own_upper;
  double* const lower = storage(columns.lower_bounds, own_lower);
  double* const upper = storage(columns.upper_bounds, own_upper);
  // The two decide alike, and a refused pair keeps its values; only a refusal pays for the checks that name it.
  if (!clamp_bounds(columns, size, lower, upper)) {
    if (auto checked = check_bounds(columns, n, m_variable_count); !checked) {
      return std::unexpected(std::move(checked.error()));
    }
  }

  auto types = variable_types(columns.types, size);
  if (!types) {
    return std::unexpected(std::move(types.error()));
  }
  if (columns.names) {
    if (auto length = check_length(columns.names->size(), n, "variable names"); !length) {
      return std::unexpected(std::move(length.error()));
    }
  }
  auto names = BatchNames::of(columns.names, "variable name", 'x', m_variable_count, size);
  if (!names) {
    return std::unexpected(std::move(names.error()));
  }

  const IdRange ids{m_variable_count, n};
  if (auto ready = ready_to_add(before_adding, ids); !ready) {
    return std::unexpected(std::move(ready.error()));
  }
  if (n > 0) {
    const int status = table().COPT_AddCols(m_problem.get(), *count, nullptr, nullptr, nullptr, nullptr, nullptr,
                                            types->get(), lower, upper, names->pointers());
    if (auto checked = check_call(table(), status, "COPT_AddCols"); !checked) {
      return std::unexpected(std::move(checked.error()));
    }
    clear_results();
  }
  m_variable_count += n;
  return ids;
}

}  // namespace brenlox_copt::backend
