// model.cpp: BackendModel creation and destruction, and the addition of variables, prepared then committed.
#include "backend/model.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <span>
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
/// share and any returned problem are gone before the lock is given back.
[[nodiscard]] Result<CreatedProblem> create_problem_locked(EnvironmentRecord& record) {
  auto guard = record.lock();
  BRENLOX_PASS_UP_IF_FAILED(guard);
  const NativeEnvironment& environment = guard->environment();
  LibraryShare library = environment.library();
  const FunctionTable& table = library->table();
  copt_prob* returned = nullptr;
  const int status = table.COPT_CreateProb(environment.handle(), &returned);
  BRENLOX_ASSIGN_OR_PASS_UP(problem, check_created(table, status, ProblemHandle(table, returned), "COPT_CreateProb",
                                                  "a problem", DeleteFailed::BeforeLookup));
  return CreatedProblem{std::move(library), std::move(problem)};
}

/// A present list of per-variable values must have n entries.
template <class List>
[[nodiscard]] Status check_list_length(const std::optional<List>& list, std::uint64_t n, std::string_view what) {
  return list ? check_length(list->size(), n, what) : Status{};
}

/// What one reading of the given bounds finds, for the checks to report in their stated order.
struct BoundsFindings {
  bool lower_nan = false;
  bool upper_nan = false;
  /// The first variable whose lower bound exceeds its upper bound as given, if any.
  std::optional<std::size_t> first_disorder;
};

/// A given side of the bounds: read as given, and written back clamped.
struct GivenSide {
  std::span<double> values;
  [[nodiscard]] double read(std::size_t i) const noexcept { return values[i]; }
  void write(std::size_t i, double value) const noexcept { values[i] = value; }
};

/// An absent side: one value for every variable, and nothing to write.
struct AbsentSide {
  double value;
  [[nodiscard]] double read(std::size_t /*i*/) const noexcept { return value; }
  void write(std::size_t /*i*/, double /*value*/) const noexcept {}
};

/// Reads n pairs of bounds once, comparing them as given (so that equal infinite bounds pass, and NaN is never out of
/// order), and clamps each given bound in place to the solver's range; a pair out of order keeps its values as given,
/// for the message that names them. Generic over the sides, so that an absent side costs no load and no store.
template <class Low, class High>
[[nodiscard]] BoundsFindings scan_pairs(std::size_t n, Low low, High high) noexcept {
  bool lower_nan = false;
  bool upper_nan = false;
  std::size_t disorder = n;
  // From the end, so that the last pair found out of order is the first.
  for (std::size_t i = n; i-- > 0;) {
    const double low_value = low.read(i);
    const double high_value = high.read(i);
    lower_nan |= std::isnan(low_value);
    upper_nan |= std::isnan(high_value);
    const bool ordered = !(low_value > high_value);
    disorder = ordered ? disorder : i;
    low.write(i, ordered ? clamp_to_solver_range(low_value) : low_value);
    high.write(i, ordered ? clamp_to_solver_range(high_value) : high_value);
  }
  return {lower_nan, upper_nan, disorder < n ? std::optional(disorder) : std::nullopt};
}

/// scan_pairs over the given sides; an absent lower side reads as 0 and an absent upper side as +inf.
[[nodiscard]] BoundsFindings scan_bounds(const std::optional<std::span<double>>& lower,
                                         const std::optional<std::span<double>>& upper, std::size_t n) noexcept {
  if (!lower && !upper) {
    return {};
  }
  const auto with_high = [&](auto low) {
    return upper ? scan_pairs(n, low, GivenSide{*upper})
                 : scan_pairs(n, low, AbsentSide{std::numeric_limits<double>::infinity()});
  };
  return lower ? with_high(GivenSide{*lower}) : with_high(AbsentSide{0.0});
}

/// The bounds' checks in their stated order: the lower list's length and NaNs, the upper list's length and NaNs, then
/// the first pair out of order. One scan finds all of it and clamps the given bounds; an upper list of the wrong
/// length is left out of the scan.
[[nodiscard]] Status check_bounds(const VariableColumns& columns, std::uint64_t n, std::uint64_t first_id) {
  BRENLOX_PASS_UP_IF_FAILED(check_list_length(columns.lower_bounds, n, "lower bounds"));
  const bool upper_fits = !columns.upper_bounds || columns.upper_bounds->size() == n;
  const BoundsFindings found =
      scan_bounds(columns.lower_bounds, upper_fits ? columns.upper_bounds : std::nullopt, static_cast<std::size_t>(n));
  if (found.lower_nan) {
    return std::unexpected(contains_nan("lower bounds"));
  }
  BRENLOX_PASS_UP_IF_FAILED(check_list_length(columns.upper_bounds, n, "upper bounds"));
  if (found.upper_nan) {
    return std::unexpected(contains_nan("upper bounds"));
  }
  if (const std::optional<std::size_t> i = found.first_disorder) {
    const double low = columns.lower_bounds ? (*columns.lower_bounds)[*i] : 0.0;
    const double high = (*columns.upper_bounds)[*i];
    return std::unexpected(BackendError::invalid_input("variable " + std::to_string(first_id + *i) +
                                                       " has lower bound " + format_number(low) +
                                                       " greater than upper bound " + format_number(high)));
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

/// Every type is 'C', 'B' or 'I'.
[[nodiscard]] Status check_types(std::span<const char32_t> types) {
  for (const char32_t type : types) {
    if (type != U'C' && type != U'B' && type != U'I') {
      return std::unexpected(BackendError::invalid_input("unsupported COPT variable type '" + type_text(type) +
                                                         "'; expected 'C', 'B', or 'I'"));
    }
  }
  return {};
}

/// The checks of a batch's lists in the order they are stated: each bound list's length and NaN check (lower bounds
/// first), the bounds' order, the types' length and values, the names' length (their NUL check comes with the
/// name array). They read only the given lists, so a batch refused for a list's length allocates nothing.
[[nodiscard]] Status check_columns(const VariableColumns& columns, std::uint64_t n, std::uint64_t first_id) {
  BRENLOX_PASS_UP_IF_FAILED(check_bounds(columns, n, first_id));
  BRENLOX_PASS_UP_IF_FAILED(check_list_length(columns.types, n, "variable types"));
  BRENLOX_PASS_UP_IF_FAILED(check_types(columns.types.value_or(std::span<const char32_t>())));
  return check_list_length(columns.names, n, "variable names");
}

/// One side of the bounds as the solver takes them: a given list (clamped by the checks), or an array of its own
/// filled with `absent` clamped.
[[nodiscard]] ColumnBounds solver_bounds(const std::optional<std::span<double>>& given, double absent, std::size_t size) {
  if (given) {
    return {given->data(), {}};
  }
  SmallArray<double, 1> own(size);
  std::fill_n(own.data(), size, clamp_to_solver_range(absent));
  return {nullptr, std::move(own)};
}

/// One type byte per variable: the given (checked) characters, or 'C' for all.
[[nodiscard]] SmallArray<char, 1> type_bytes(const std::optional<std::span<const char32_t>>& types,
                                             std::size_t size) {
  SmallArray<char, 1> bytes(size);
  if (types) {
    std::ranges::transform(*types, bytes.data(), [](char32_t type) { return static_cast<char>(type); });
  } else {
    std::fill_n(bytes.data(), size, 'C');
  }
  return bytes;
}

}  // namespace

Result<BackendModel> BackendModel::create(EnvironmentShare environment) {
  BRENLOX_ASSIGN_OR_PASS_UP(created, create_problem_locked(*environment));
  return BackendModel(std::move(environment), std::move(created.library), std::move(created.problem));
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

Result<PreparedColumns> BackendModel::prepare_variables(std::uint64_t n, const VariableColumns& columns) const {
  BRENLOX_PASS_UP_IF_FAILED(to_c_int(n, "variable count"));
  if (n > std::numeric_limits<std::uint64_t>::max() - m_variable_count) {
    return std::unexpected(BackendError::invalid_input("variable count overflow"));
  }
  BRENLOX_PASS_UP_IF_FAILED(check_columns(columns, n, m_variable_count));
  const auto size = static_cast<std::size_t>(n);
  PreparedColumns::Arrays arrays{type_bytes(columns.types, size), solver_bounds(columns.lower_bounds, 0.0, size),
                                 solver_bounds(columns.upper_bounds, std::numeric_limits<double>::infinity(), size)};
  const IdRange ids{m_variable_count, n};
  BRENLOX_ASSIGN_OR_PASS_UP(names, BatchNames::of(columns.names, "variable name", 'x', ids.first, size));
  return PreparedColumns(m_problem.get(), ids, std::move(names), std::move(arrays));
}

Result<IdRange> BackendModel::commit(PreparedColumns batch) {
  const PreparedColumns::Arrays& arrays = batch.m_arrays;
  return commit_batch(batch, m_variable_count, "COPT_AddCols", [&](const char* const* names) {
    return table().COPT_AddCols(m_problem.get(), static_cast<int>(batch.m_ids.count), nullptr, nullptr, nullptr,
                                nullptr, nullptr, arrays.types.data(), arrays.lower.data(), arrays.upper.data(), names);
  });
}

}  // namespace brenlox_copt::backend
