// engine_glpk.cpp: the engine behind COPT_Solve: GLPK's simplex for LPs, its branch-and-cut with presolve for MIPs.
#include <glpk.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <csetjmp>
#include <optional>

#include "backend/solver_status.hpp"
#include "standin/library/engine.hpp"

namespace brenlox_copt::standin {
namespace {

struct GlpkBounds {
  int type = GLP_FR;
  double lower = 0.0;
  double upper = 0.0;
};

/// Everything GLPK is given, prepared up front so that the GLPK calls run without C++ objects in their frames.
struct GlpkInput {
  bool is_mip = false;
  int direction = GLP_MIN;
  double constant = 0.0;
  std::vector<GlpkBounds> columns;
  std::vector<int> kinds;
  std::vector<double> costs;
  std::vector<GlpkBounds> rows;
  /// The matrix as GLPK's one-based triplets (element 0 unused), duplicates summed and zeros dropped.
  std::vector<int> row_of;
  std::vector<int> column_of;
  std::vector<double> value_of;
};

/// What GLPK reported, read before its problem object is freed.
struct GlpkReport {
  int return_code = 0;
  int status = 0;
  int primal_status = 0;
  double objective = 0.0;
};

/// Bounds at or beyond ±1e30 are infinite; nullopt when no value lies within them.
std::optional<GlpkBounds> glpk_bounds(double lower, double upper) {
  const bool has_lower = lower > -kInfinity;
  const bool has_upper = upper < kInfinity;
  if (lower >= kInfinity || upper <= -kInfinity || (has_lower && has_upper && lower > upper)) {
    return std::nullopt;
  }
  if (has_lower && has_upper) {
    return GlpkBounds{lower == upper ? GLP_FX : GLP_DB, lower, upper};
  }
  if (has_lower) {
    return GlpkBounds{GLP_LO, lower, 0.0};
  }
  if (has_upper) {
    return GlpkBounds{GLP_UP, 0.0, upper};
  }
  return GlpkBounds{};
}

/// GLPK refuses fractional bounds on integer columns; rounding inwards keeps the same integer points.
std::optional<GlpkBounds> column_bounds(const Column& column) {
  double lower = column.lower;
  double upper = column.upper;
  if (column.type == 'B') {
    lower = std::max(lower, 0.0);
    upper = std::min(upper, 1.0);
  }
  if (column.type != 'C') {
    lower = lower > -kInfinity && lower < kInfinity ? std::ceil(lower) : lower;
    upper = upper > -kInfinity && upper < kInfinity ? std::floor(upper) : upper;
  }
  return glpk_bounds(lower, upper);
}

/// GLPK refuses a column twice in one row, so repeated entries are summed.
void append_row_entries(GlpkInput& input, int row_number, std::vector<RowEntry> entries) {
  std::ranges::sort(entries, {}, &RowEntry::column);
  for (std::size_t index = 0; index < entries.size();) {
    const int column = entries[index].column;
    double sum = 0.0;
    for (; index < entries.size() && entries[index].column == column; ++index) {
      sum += entries[index].value;
    }
    if (sum != 0.0) {
      input.row_of.push_back(row_number);
      input.column_of.push_back(column + 1);
      input.value_of.push_back(sum);
    }
  }
}

/// The GLPK form of the problem, or nullopt when some bounds admit no value (the problem is then infeasible).
std::optional<GlpkInput> prepare(const Problem& problem) {
  GlpkInput input;
  input.is_mip = has_integer_columns(problem);
  input.direction = problem.objective_sense == -1 ? GLP_MAX : GLP_MIN;
  input.constant = problem.objective_constant;
  for (const Column& column : problem.columns) {
    const auto bounds = column_bounds(column);
    if (!bounds) {
      return std::nullopt;
    }
    input.columns.push_back(*bounds);
    input.kinds.push_back(column.type == 'C' ? GLP_CV : GLP_IV);
    input.costs.push_back(column.objective);
  }
  input.row_of.push_back(0);
  input.column_of.push_back(0);
  input.value_of.push_back(0.0);
  int row_number = 0;
  for (const Row& row : problem.rows) {
    const auto bounds = glpk_bounds(row.lower, row.upper);
    if (!bounds) {
      return std::nullopt;
    }
    input.rows.push_back(*bounds);
    append_row_entries(input, ++row_number, row.entries);
  }
  return input;
}

int milliseconds(double seconds) {
  const double limit = seconds * 1000.0;
  return limit >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(limit);
}

void load(glp_prob* lp, const GlpkInput& input) {
  glp_set_obj_dir(lp, input.direction);
  glp_set_obj_coef(lp, 0, input.constant);
  const auto columns = static_cast<int>(input.columns.size());
  const auto rows = static_cast<int>(input.rows.size());
  if (columns > 0) {
    glp_add_cols(lp, columns);
  }
  if (rows > 0) {
    glp_add_rows(lp, rows);
  }
  for (int column = 1; column <= columns; ++column) {
    const auto index = static_cast<std::size_t>(column - 1);
    const GlpkBounds& bounds = input.columns[index];
    glp_set_col_bnds(lp, column, bounds.type, bounds.lower, bounds.upper);
    glp_set_col_kind(lp, column, input.kinds[index]);
    glp_set_obj_coef(lp, column, input.costs[index]);
  }
  for (int row = 1; row <= rows; ++row) {
    const GlpkBounds& bounds = input.rows[static_cast<std::size_t>(row - 1)];
    glp_set_row_bnds(lp, row, bounds.type, bounds.lower, bounds.upper);
  }
  glp_load_matrix(lp, static_cast<int>(input.row_of.size() - 1), input.row_of.data(), input.column_of.data(),
                  input.value_of.data());
}

void solve_lp(glp_prob* lp, const SolverSettings& settings, GlpkReport& report, double* values) {
  glp_smcp parameters;
  glp_init_smcp(&parameters);
  parameters.msg_lev = settings.logging ? GLP_MSG_ON : GLP_MSG_OFF;
  parameters.tol_bnd = settings.feasibility_tolerance;
  parameters.tol_dj = settings.dual_tolerance;
  parameters.tm_lim = milliseconds(settings.time_limit);
  report.return_code = glp_simplex(lp, &parameters);
  report.status = glp_get_status(lp);
  report.primal_status = glp_get_prim_stat(lp);
  report.objective = glp_get_obj_val(lp);
  for (int column = 1; column <= glp_get_num_cols(lp); ++column) {
    values[column - 1] = glp_get_col_prim(lp, column);
  }
}

void solve_mip(glp_prob* lp, const SolverSettings& settings, GlpkReport& report, double* values) {
  glp_iocp parameters;
  glp_init_iocp(&parameters);
  parameters.msg_lev = settings.logging ? GLP_MSG_ON : GLP_MSG_OFF;
  parameters.presolve = GLP_ON;
  parameters.gmi_cuts = GLP_ON;
  parameters.mir_cuts = GLP_ON;
  parameters.cov_cuts = GLP_ON;
  parameters.clq_cuts = GLP_ON;
  parameters.tol_int = settings.integrality_tolerance;
  parameters.mip_gap = settings.relative_gap;
  parameters.tm_lim = milliseconds(settings.time_limit);
  report.return_code = glp_intopt(lp, &parameters);
  report.status = glp_mip_status(lp);
  report.objective = glp_mip_obj_val(lp);
  for (int column = 1; column <= glp_get_num_cols(lp); ++column) {
    values[column - 1] = glp_mip_col_val(lp, column);
  }
}

void jump_back(void* landing) { std::longjmp(*static_cast<std::jmp_buf*>(landing), 1); }

/// Runs GLPK; false when it hit a fatal error. GLPK reports those through its error hook, which jumps back here; no
/// frame between holds a C++ object with a destructor. GLPK's per-thread environment is shared with anything else in
/// the thread that uses GLPK: one this call created is freed again (else it would be lost when copt.dll and GLPK are
/// unloaded), one found in place is kept, except after a fatal error (GLPK requires freeing it then).
bool run_glpk(const GlpkInput& input, const SolverSettings& settings, GlpkReport& report, double* values) {
  // volatile: read again after the jump back.
  volatile const bool created_environment = glp_init_env() == 0;
  std::jmp_buf landing;
  if (setjmp(landing) != 0) {
    glp_free_env();
    return false;
  }
  glp_error_hook(jump_back, &landing);
  const int previous_output = glp_term_out(settings.logging ? GLP_ON : GLP_OFF);
  glp_prob* lp = glp_create_prob();
  load(lp, input);
  if (input.is_mip) {
    solve_mip(lp, settings, report, values);
  } else {
    solve_lp(lp, settings, report, values);
  }
  glp_delete_prob(lp);
  glp_term_out(previous_output);
  glp_error_hook(nullptr, nullptr);
  if (created_environment) {
    glp_free_env();
  }
  return true;
}

EngineOutcome lp_outcome(const GlpkReport& report) {
  const bool feasible = report.primal_status == GLP_FEAS;
  switch (report.return_code) {
    case 0:
      switch (report.status) {
        case GLP_OPT:
          return {false, solver_status::kOptimal, true, report.objective, {}};
        case GLP_NOFEAS:
          return {false, solver_status::kInfeasible, false, 0.0, {}};
        case GLP_UNBND:
          return {false, solver_status::kUnbounded, false, 0.0, {}};
        default:
          return {false, solver_status::kUnfinished, feasible, report.objective, {}};
      }
    case GLP_ETMLIM:
      return {false, solver_status::kTimeLimit, feasible, report.objective, {}};
    case GLP_EITLIM:
      return {false, solver_status::kUnfinished, feasible, report.objective, {}};
    default:
      return {false, solver_status::kNumerical, false, 0.0, {}};
  }
}

EngineOutcome mip_outcome(const GlpkReport& report) {
  const bool feasible = report.status == GLP_FEAS || report.status == GLP_OPT;
  switch (report.return_code) {
    case 0:
      if (report.status == GLP_NOFEAS) {
        return {false, solver_status::kInfeasible, false, 0.0, {}};
      }
      return {false, report.status == GLP_OPT ? solver_status::kOptimal : solver_status::kUnfinished, feasible,
              report.objective, {}};
    case GLP_EMIPGAP:
      return {false, solver_status::kOptimal, feasible, report.objective, {}};
    case GLP_ETMLIM:
      return {false, solver_status::kTimeLimit, feasible, report.objective, {}};
    case GLP_ENOPFS:
      return {false, solver_status::kInfeasible, false, 0.0, {}};
    case GLP_ENODFS:
      // The relaxation is unbounded; whether an integer point exists is not known.
      return {false, solver_status::kInfeasibleOrUnbounded, false, 0.0, {}};
    default:
      return {false, solver_status::kNumerical, feasible, report.objective, {}};
  }
}

}  // namespace

EngineOutcome solve_with_engine(const Problem& problem, const SolverSettings& settings) {
  const std::optional<GlpkInput> input = prepare(problem);
  if (!input) {
    return {false, solver_status::kInfeasible, false, 0.0, {}};
  }
  std::vector<double> values(problem.columns.size());
  GlpkReport report;
  if (!run_glpk(*input, settings, report, values.data())) {
    return {true, solver_status::kNumerical, false, 0.0, {}};
  }
  EngineOutcome outcome = input->is_mip ? mip_outcome(report) : lp_outcome(report);
  if (outcome.has_solution) {
    outcome.values = std::move(values);
  }
  return outcome;
}

}  // namespace brenlox_copt::standin
