"""linopy models solved through brenlox_copt, handed over as arrays: ``brenlox_copt_modelling.linopy.solve(m)``."""

from __future__ import annotations

import math

import numpy as np
from linopy.constants import Result, Solution, Status, TerminationCondition

from . import _core
from ._rows import rows

# linopy's Model.solve keywords that have no counterpart here, each with why; a warm start is a hint that changes no
# result, so it is accepted with a warning instead.
_REFUSED = {
    "io_api": "the model always goes to the solver as arrays, never through a file",
    "problem_fn": "the model goes to the solver in memory, not through a file",
    "solution_fn": "the solution comes back in memory, not through a file",
    "log_fn": "the solver's log goes to standard output unless silent=True",
    "basis_fn": "the module returns no basis",
    "keep_files": "the model goes to the solver in memory, not through files",
    "remote": "the solver runs in this process",
    "reformulate_sos": "SOS constraints are refused; Model.apply_sos_reformulation() rewrites them first",
}
_HINTS = {"warmstart_fn"}


def solve(model, *, time_limit: float | None = None, rel_gap: float | None = None, abs_gap: float | None = None,
          threads: int | None = None, silent: bool = False, sanitize_zeros: bool = True,
          sanitize_infinities: bool = True, **options) -> tuple[str, str]:
    """Solves a linopy ``Model`` with COPT and writes the result back as ``Model.solve`` does: ``model.status``,
    ``model.termination_condition``, ``model.objective.value`` and each variable's ``solution``. Returns
    ``(status, termination_condition)``.

    ``time_limit`` (seconds), ``rel_gap``, ``abs_gap`` and ``threads`` go to the solver by their COPT names;
    ``silent=True`` keeps the solver's log off standard output; any other keyword is a raw solver parameter, name
    unchanged (``FeasTol=1e-8``). What the module cannot solve (quadratic terms, SOS, semi-continuous variables,
    indicator constraints) is refused with ``ValueError`` before anything is solved. No duals are returned.
    """
    for key in options.keys() & _REFUSED.keys():
        raise ValueError(f"brenlox_copt does not support {key}: {_REFUSED[key]}")
    for key in options.keys() & _HINTS:
        options.pop(key)
        _core.warn_once(f"linopy.{key}", f"brenlox_copt ignores {key}: a starting basis is not passed to the solver",
                        "linopy")
    _refuse_unsupported(model)
    settings = _core.Settings(silent=silent, time_limit=time_limit, rel_gap=rel_gap, abs_gap=abs_gap,
                              threads=threads, raw=options)
    # linopy's clean-ups, as Model.solve runs them before any solver sees the model.
    if sanitize_zeros:
        model.constraints.sanitize_zeros()
    if sanitize_infinities:
        model.constraints.sanitize_infinities()
    matrices = model.matrices
    # Refused input raises before anything is written back: the model keeps its earlier result.
    outcome = _core.run(_arrays(model, matrices), settings, lambda message: ValueError(f"brenlox_copt: {message}"))
    # No earlier result may read as this one's.
    model.reset_solution()
    return model.assign_result(_result(model, matrices, outcome, settings))


def _refuse_unsupported(model) -> None:
    if model.is_quadratic:
        raise ValueError("brenlox_copt solves linear models only: the objective has quadratic terms")
    checks = (
        (model.variables.sos, "SOS constraints (Model.apply_sos_reformulation() rewrites them as linear ones)"),
        (model.semi_continuous, "semi-continuous variables"),
        (model.indicator_constraints, "indicator constraints"),
    )
    for found, feature in checks:
        if len(found):
            names = ", ".join(sorted(str(name) for name in found))
            raise ValueError(f"brenlox_copt cannot solve {feature}: found {names}")
    if model.objective.expression.empty:
        raise ValueError("No objective has been set on the model. Use `m.add_objective(...)` first (e.g. "
                         "`m.add_objective(0 * x)` for a pure feasibility problem).")


def _arrays(model, matrices) -> _core.Arrays:
    """The module's fastest forms: bounds as float64 arrays, rows of one length as two 2-D arrays, rows of
    different lengths as lists."""
    vtypes = matrices.vtypes
    arrays = _core.Arrays(lbs=matrices.lb, ubs=matrices.ub,
                          vtypes=None if np.all(vtypes == "C") else vtypes.tolist(),
                          maximize=model.objective.sense == "max")
    matrix = matrices.A
    if matrix is not None and matrix.shape[0]:
        arrays.row_vars, arrays.row_coeffs = rows(matrix.indptr, matrix.indices, matrix.data)
        arrays.senses = matrices.sense.tolist()
        arrays.rhss = matrices.b
    c = matrices.c
    arrays.obj_vars = np.flatnonzero(c)
    arrays.obj_coeffs = c[arrays.obj_vars]
    return arrays


def _result(model, matrices, outcome: _core.Outcome, settings: _core.Settings) -> Result:
    limit = _core.ran_to_time_limit(outcome, settings)
    condition = {
        _core.OPTIMAL: TerminationCondition.optimal,
        _core.INFEASIBLE: TerminationCondition.infeasible,
        _core.UNBOUNDED: TerminationCondition.unbounded,
        _core.STOPPED_WITH_SOLUTION: TerminationCondition.terminated_by_limit,
        _core.NO_OUTCOME: TerminationCondition.unknown,
    }[outcome.code]
    if limit and outcome.code in (_core.STOPPED_WITH_SOLUTION, _core.NO_OUTCOME):
        condition = TerminationCondition.time_limit
    status = Status.from_termination_condition(condition)
    if outcome.values is None:
        # An empty solution still sets the objective (to NaN): an earlier solve's value must not read as this one's.
        return Result(status, Solution(), solver_name="brenlox_copt")
    # linopy reads the primal by label: one slot per label, NaN where a label is masked.
    labels = max((var.range[1] for _, var in model.variables.items()), default=0)
    primal = np.full(labels, math.nan)
    primal[matrices.vlabels] = outcome.values
    return Result(status, Solution(primal=primal, objective=outcome.objective), solver_name="brenlox_copt")
