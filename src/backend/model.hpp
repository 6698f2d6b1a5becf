// model.hpp: BackendModel, one native problem with its counts and cached results, and the values its edits take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <variant>
#include <vector>

#include "backend/environment.hpp"
#include "backend/error.hpp"
#include "backend/library.hpp"
#include "backend/native_handle.hpp"
#include "backend/text.hpp"

namespace brenlox_copt::backend {

/// The solver's infinity: every variable and row bound is clamped into [-kSolverInfinity, kSolverInfinity].
inline constexpr double kSolverInfinity = 1e30;

/// Consecutive ids handed out by one batch: first, first + 1, ..., first + count - 1.
struct IdRange {
  std::uint64_t first = 0;
  std::uint64_t count = 0;
};

/// Called once a batch has passed every check, just before its native call, with the ids it is about to hand out:
/// the caller makes there whatever it reports them with, and returns false when it cannot (having recorded why
/// itself), which stops the batch with nothing changed.
using BeforeAdding = std::function<bool(IdRange)>;

/// The optional per-variable lists of one add_variables call; each present list must have exactly n entries.
struct VariableColumns {
  std::optional<std::span<const TerminatedText>> names = std::nullopt;
  /// Code points; only 'C', 'B' and 'I' are accepted.
  std::optional<std::span<const char32_t>> types = std::nullopt;
  /// Given bounds are the batch's working storage: they are clamped in place to the solver's range as they are
  /// checked (a refused batch's lists hold no meaning afterwards).
  std::optional<std::span<double>> lower_bounds = std::nullopt;
  std::optional<std::span<double>> upper_bounds = std::nullopt;
};

struct AffineTerm {
  std::uint64_t variable = 0;
  double coefficient = 0.0;
};

/// A linear function viewed as parallel variable ids and coefficients (one term each) plus a constant.
struct ScalarFunction {
  std::span<const std::uint64_t> variables;
  std::span<const double> coefficients;
  double constant = 0.0;

  [[nodiscard]] AffineTerm term(std::size_t i) const noexcept { return {variables[i], coefficients[i]}; }
};

/// The objective has the constraint function's shape; set_objective sums the coefficients of a repeated variable.
using ObjectiveFunction = ScalarFunction;

/// The set a constraint's function value must lie in.
struct ConstraintSet {
  enum class Kind { GreaterThan, LessThan, EqualTo };
  Kind kind = Kind::EqualTo;
  double value = 0.0;
};

/// n constraints in compressed-row form. Row k's terms are entries row_starts[k] to row_starts[k + 1] - 1 of the
/// parallel `variables` and `coefficients`; row_starts has n + 1 entries (none for an empty batch), starts at 0 and
/// ends at the number of terms. n is the number of constants. `variables`, `row_starts`, `constants` and `sets` are
/// read into the batch's own arrays before BeforeAdding runs, so the caller may free them there; `coefficients` and
/// `names` are read until the native call returns.
struct ConstraintBatch {
  std::span<const std::uint64_t> variables;
  std::span<const double> coefficients;
  std::span<const std::size_t> row_starts;
  std::span<const double> constants;
  std::span<const ConstraintSet> sets;
  std::optional<std::span<const TerminatedText>> names = std::nullopt;
};

enum class ObjectiveSense { Minimize, Maximize };

/// Which optimizer setting to change: two named ones, or any solver parameter by its name.
struct OptimizerAttribute {
  /// The integer parameter "Logging", inverted.
  struct Silent {};
  /// The floating-point parameter "TimeLimit".
  struct TimeLimit {};
  struct Raw {
    TerminatedText name;
  };
  std::variant<Silent, TimeLimit, Raw> kind;
};

/// A setting's value: Bool, Int or Float.
using AttributeValue = std::variant<bool, std::int64_t, double>;

struct BatchNaming;

/// The backend record of one model: a native problem in a shared environment, what was added to it, and the results
/// of the last solve that found a solution. Every edit validates all of its input before anything changes.
class BackendModel {
 public:
  /// Creates the native problem under the environment's lock; the model takes over `environment`.
  [[nodiscard]] static Result<BackendModel> create(EnvironmentShare environment);

  BackendModel(BackendModel&&) noexcept = default;
  BackendModel(const BackendModel&) = delete;
  BackendModel& operator=(const BackendModel&) = delete;
  BackendModel& operator=(BackendModel&&) = delete;
  ~BackendModel();

  [[nodiscard]] std::uint64_t variable_count() const noexcept { return m_variable_count; }
  [[nodiscard]] std::uint64_t constraint_count() const noexcept { return m_constraint_count; }

  /// Appends n columns; absent lists mean names "x{id}", type 'C', lower bound 0 and upper bound infinity.
  [[nodiscard]] Result<IdRange> add_variables(std::uint64_t n, const VariableColumns& columns = {},
                                              const BeforeAdding& before_adding = {});
  /// Appends the batch's rows in one native call; absent names mean "c{id}".
  [[nodiscard]] Result<IdRange> add_constraints(const ConstraintBatch& batch, const BeforeAdding& before_adding = {});
  [[nodiscard]] Result<std::uint64_t> add_constraint(const ScalarFunction& function, ConstraintSet set,
                                                     std::optional<TerminatedText> name = std::nullopt,
                                                     const BeforeAdding& before_adding = {});
  /// Replaces the whole objective: every coefficient, the constant and the sense. The cached results are cleared as
  /// soon as the problem has taken a part, even when a later part fails.
  [[nodiscard]] Status set_objective(const ObjectiveFunction& function, ObjectiveSense sense);

  [[nodiscard]] Status set_optimizer_attr(const OptimizerAttribute& attribute, AttributeValue value);
  [[nodiscard]] Status update();
  /// Solves and returns the result code 0 to 4; caches the solution and objective value when the solver has them.
  [[nodiscard]] Result<std::uint32_t> optimize();
  /// The cached value of variable `id`, absent without a cached solution or for a variable added after the solve.
  [[nodiscard]] std::optional<double> get_var_value(std::uint64_t id) const noexcept;
  [[nodiscard]] std::optional<double> get_objective_value() const noexcept { return m_objective_value; }

 private:
  BackendModel(EnvironmentShare environment, LibraryShare library, ProblemHandle problem) noexcept;

  [[nodiscard]] const FunctionTable& table() const noexcept { return m_library->table(); }
  /// Runs the caller's BeforeAdding, if any; its refusal becomes the batch's error.
  [[nodiscard]] static Status ready_to_add(const BeforeAdding& before_adding, IdRange ids);
  /// The end both batch methods share: the batch's names, the caller's BeforeAdding, then for a batch of any size
  /// the one native call, which `add` makes given the name pointers; a batch the solver took drops the last results.
  template <class NativeAdd>
  [[nodiscard]] Status add_batch(const BatchNaming& naming, IdRange ids, const BeforeAdding& before_adding,
                                 const char* operation, NativeAdd&& add);
  void clear_results() noexcept;

  EnvironmentShare m_environment;
  LibraryShare m_library;
  ProblemHandle m_problem;
  std::uint64_t m_variable_count = 0;
  std::uint64_t m_constraint_count = 0;
  std::optional<double> m_objective_value;
  std::optional<std::vector<double>> m_solution;
};

}  // namespace brenlox_copt::backend
