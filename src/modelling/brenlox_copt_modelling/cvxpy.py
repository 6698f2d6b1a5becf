"""CVXPY's solver object for brenlox_copt: ``problem.solve(solver=BRENLOX_COPT())``, for LPs and MILPs."""

from __future__ import annotations

import numpy as np
from cvxpy import settings as s
from cvxpy.error import SolverError
from cvxpy.reductions.solution import Solution, failure_solution
from cvxpy.reductions.solvers.conic_solvers.conic_solver import ConicSolver, dims_to_solver_dict

from . import _core

_STATUS = {
    _core.OPTIMAL: s.OPTIMAL,
    _core.INFEASIBLE: s.INFEASIBLE,
    _core.UNBOUNDED: s.UNBOUNDED,
    _core.STOPPED_WITH_SOLUTION: s.USER_LIMIT,
}
# The options CVXPY users pass to solve() for any solver, in the module's terms; any other goes to the solver as a
# raw parameter ("FeasTol", ...).
_NAMED = ("time_limit", "rel_gap", "abs_gap", "threads")


class BRENLOX_COPT(ConicSolver):
    """The COPT solver through brenlox_copt: linear constraints (equalities and inequalities), variable bounds,
    integer and boolean variables. No duals: constraints' dual_value stays None."""

    MIP_CAPABLE = True
    BOUNDED_VARIABLES = True
    SUPPORTED_CONSTRAINTS = ConicSolver.SUPPORTED_CONSTRAINTS
    MI_SUPPORTED_CONSTRAINTS = SUPPORTED_CONSTRAINTS

    def name(self):
        return "BRENLOX_COPT"

    def cite(self, data):
        return "brenlox_copt: the COPT solver from Python (https://pypi.org/project/brenlox-copt/)"

    def import_solver(self) -> None:
        import brenlox_copt  # noqa: F401

    def apply(self, problem):
        # CVXPY asks can_solve (a yes or no) before it builds the chain; a chain that reaches this solver all the same
        # gets the reason: what the problem needs beyond linear rows.
        supported = frozenset(self.SUPPORTED_CONSTRAINTS)
        missing = sorted({type(constraint).__name__ for constraint in problem.constraints
                          if type(constraint) not in supported})
        if getattr(problem, "P", None) is not None:
            missing.insert(0, "a quadratic objective")
        if missing:
            raise SolverError(
                f"BRENLOX_COPT solves linear and mixed-integer linear problems only (no quadratic terms, no cones); "
                f"this problem needs {', '.join(missing)}"
            )
        data, inv_data = super().apply(problem)
        variables = problem.x
        data[s.BOOL_IDX] = [int(t[0]) for t in variables.boolean_idx]
        data[s.INT_IDX] = [int(t[0]) for t in variables.integer_idx]
        return data, inv_data

    def solve_via_data(self, data, warm_start: bool, verbose: bool, solver_opts, solver_cache=None):
        # warm_start is on by default in every CVXPY solve: a hint that this solver, which builds a fresh model each
        # time, has nothing to use it for (the result does not depend on it).
        arrays = _arrays(data)
        options = dict(solver_opts)
        named = {key: options.pop(key, None) for key in _NAMED}
        settings = _core.Settings(silent=not verbose, raw=options, **named)
        return {"outcome": _core.run(arrays, settings, lambda message: SolverError(f"BRENLOX_COPT: {message}"))}

    def invert(self, results, inverse_data):
        outcome = results["outcome"]
        attr = {s.SOLVE_TIME: outcome.seconds}
        # No usable outcome (a limit reached before any solution, or no decision) is a failure: CVXPY's one status
        # for a limit says a solution is present.
        status = _STATUS.get(outcome.code, s.SOLVER_ERROR)
        if status in s.SOLUTION_PRESENT and outcome.values is not None:
            primal = {self.VAR_ID: np.array(outcome.values)}
            return Solution(status, outcome.objective + inverse_data[s.OFFSET], primal, None, attr)
        return failure_solution(status, attr)


def _arrays(data) -> _core.Arrays:
    """CVXPY's conic form: minimise c x subject to A x = b on the first rows (zero cone), A x <= b on the rest."""
    dims = dims_to_solver_dict(data[s.DIMS])
    matrix = data[s.A].tocsr()
    c = np.asarray(data[s.C], dtype=float)
    n = matrix.shape[1]
    lbs = np.full(n, -np.inf) if data[s.LOWER_BOUNDS] is None else np.array(data[s.LOWER_BOUNDS], dtype=float)
    ubs = np.full(n, np.inf) if data[s.UPPER_BOUNDS] is None else np.array(data[s.UPPER_BOUNDS], dtype=float)
    vtypes = None
    if data[s.BOOL_IDX] or data[s.INT_IDX]:
        vtypes = ["C"] * n
        for i in data[s.INT_IDX]:
            vtypes[i] = "I"
        for i in data[s.BOOL_IDX]:
            vtypes[i] = "B"
    row_vars, row_coeffs = _core.csr_rows(matrix.indptr, matrix.indices, matrix.data)
    equalities = dims[s.EQ_DIM]
    rows = matrix.shape[0]
    nonzero = np.flatnonzero(c)
    return _core.Arrays(
        lbs=lbs, ubs=ubs, vtypes=vtypes, row_vars=row_vars, row_coeffs=row_coeffs,
        senses=["="] * equalities + ["<"] * (rows - equalities),
        rhss=np.asarray(data[s.B], dtype=float),
        obj_vars=nonzero, obj_coeffs=c[nonzero],
    )
