// model.hpp: BackendModel, one native problem with its counts and cached results, and the values its edits take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <variant>
#include <vector>

#include "backend/environment.hpp"
#include "backend/error.hpp"
#include "backend/library.hpp"
#include "backend/native_handle.hpp"
#include "backend/prepared_batch.hpp"
#include "backend/row_starts.hpp"
#include "backend/text.hpp"

namespace brenlox_copt::backend {

/// The solver's infinity: every variable and row bound is clamped into [-kSolverInfinity, kSolverInfinity].
inline constexpr double kSolverInfinity = 1e30;

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

/// The objective, viewed as parallel variable ids and coefficients (one term each) plus a constant; set_objective
/// sums the coefficients of a repeated variable.
struct ObjectiveFunction {
  std::span<const std::uint64_t> variables;
  std::span<const double> coefficients;
  double constant = 0.0;

  [[nodiscard]] AffineTerm term(std::size_t i) const noexcept { return {variables[i], coefficients[i]}; }
};

/// One constraint's function: variable ids, their coefficients (one term each) and a constant. The coefficients are
/// the solver's array as they are, so the prepared row takes them over.
struct RowFunction {
  std::span<const std::uint64_t> variables;
  std::vector<double> coefficients;
  double constant = 0.0;
};

/// The set a constraint's function value must lie in.
struct ConstraintSet {
  enum class Kind { GreaterThan, LessThan, EqualTo };
  Kind kind = Kind::EqualTo;
  double value = 0.0;
};

/// n constraints in compressed-row form. Row k's terms are entries row_starts[k] to row_starts[k + 1] - 1 of the
/// parallel `variables` and `coefficients`; row_starts describes n rows (none for an empty batch), starting at 0 and
/// ending at the number of terms. n is the number of constants. Preparing reads the views into arrays of its own; the
/// coefficients are already the solver's array, so the prepared batch (PreparedRows) takes them over, and it views
/// the names' bytes.
struct ConstraintBatch {
  std::span<const std::uint64_t> variables;
  std::vector<double> coefficients;
  RowStarts row_starts;
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

/// The backend record of one model: a native problem in a shared environment, what was added to it, and the results
/// of the last solve that found a solution. Every edit validates all of its input before anything changes: a batch
/// is first prepared (every check, every array the solver takes), then committed (the one native call).
class BackendModel {
 public:
  /// Creates the native problem under the environment's lock; the model takes over `environment`.
  [[nodiscard]] static Result<BackendModel> create(EnvironmentShare environment);

  BackendModel(BackendModel&&) noexcept = default;
  BackendModel(const BackendModel&) = delete;
  BackendModel& operator=(const BackendModel&) = delete;
  BackendModel& operator=(BackendModel&&) = delete;
  ~BackendModel();

  /// Checks n new columns and builds their arrays; absent lists mean names "x{id}", type 'C', lower bound 0 and
  /// upper bound infinity. Given bounds are clamped in place.
  [[nodiscard]] Result<PreparedColumns> prepare_variables(std::uint64_t n, const VariableColumns& columns = {}) const;
  /// Checks the batch's rows and builds their arrays; absent names mean "c{id}". The prepared batch owns the
  /// coefficients, whether or not the checks pass.
  [[nodiscard]] Result<PreparedRows> prepare_constraints(ConstraintBatch batch) const;
  /// A batch of one row; `name`'s bytes are viewed, not copied, so they must outlive the commit.
  [[nodiscard]] Result<PreparedRows> prepare_constraint(RowFunction function, ConstraintSet set,
                                                        std::optional<TerminatedText> name = std::nullopt) const;
  /// Adds the prepared columns in one native call (none for an empty batch) and returns their ids; a nonempty batch
  /// the solver took drops the last results. A batch of another model, or one whose ids were taken since it was
  /// prepared, fails with BackendState.
  [[nodiscard]] Result<IdRange> commit(PreparedColumns batch);
  /// The same for prepared rows.
  [[nodiscard]] Result<IdRange> commit(PreparedRows batch);

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
  /// What both commits share: the batch must be this model's and still next (its first id `count`); then the
  /// native call `add()` for a nonempty batch, and on success `count` grows and the last results go.
  template <class NativeAdd>
  [[nodiscard]] Result<IdRange> commit_batch(const PreparedBatch& batch, std::uint64_t& count, const char* operation,
                                             NativeAdd&& add);
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
