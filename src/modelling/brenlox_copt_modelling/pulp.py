"""PuLP's solver class for brenlox_copt: ``prob.solve(BRENLOX_COPT(msg=False))``, or ``getSolver("BRENLOX_COPT")``.
One class for PuLP 3.3 and PuLP 4, each read through its own model API."""

from __future__ import annotations

import math
from collections.abc import Mapping
from itertools import chain
from operator import itemgetter

import pulp
from pulp import constants
from pulp.apis import LpSolver, PulpSolverError

from . import _core

# PuLP 4 keeps its model in a compiled core and reports a solve as LpSolveStats; PuLP 3 keeps Python dicts.
_PULP4 = hasattr(constants, "LpSolveStatus")

# PuLP's own option names that map onto the module; anything else in the options goes to the solver as a raw
# parameter. These have no counterpart in the module and would change what the user gets, so asking for them is an
# error rather than a silent no-op.
_UNSUPPORTED = {
    "logPath": "log files (the solver's log goes to standard output when msg=True)",
    "keepFiles": "files (the model goes to the solver in memory)",
}
# Hints that change no result: accepted, with one warning per process that they are not passed on.
_HINTS = {"warmStart": "initial values are not passed to the solver"}


class BRENLOX_COPT(LpSolver):
    """The COPT solver through brenlox_copt.

    :param bool mip: if False, integer variables are solved as continuous ones
    :param bool msg: if False, the solver prints nothing
    :param float timeLimit: seconds for the solve
    :param float gapRel: relative MIP gap at which the search stops
    :param float gapAbs: absolute MIP gap at which the search stops
    :param int threads: threads the solver may use
    :param options: raw solver parameters, a mapping or a list of (name, value) pairs
    :param solverParams: more raw solver parameters, by keyword
    """

    name = "BRENLOX_COPT"

    def __init__(self, mip=True, msg=True, timeLimit=None, gapRel=None, gapAbs=None, threads=None, options=None,
                 **solverParams):
        super().__init__(mip=mip, msg=msg, options=options, timeLimit=timeLimit, gapRel=gapRel, gapAbs=gapAbs,
                         threads=threads, **solverParams)

    def available(self):
        """True when the solver library loads (its search order: $COPT_HOME/bin and the default place)."""
        return _core.available()

    def actualSolve(self, lp, **kwargs):
        return _solve4(self, lp) if _PULP4 else _solve3(self, lp)

    def actualResolve(self, lp, **kwargs):
        # The module keeps no model between solves: a resolve is a fresh solve.
        return self.actualSolve(lp, **kwargs)

    def _settings(self) -> _core.Settings:
        generic = dict(self.optionsDict)
        for key, feature in _UNSUPPORTED.items():
            if generic.pop(key, None):
                raise PulpSolverError(f"BRENLOX_COPT does not support {key}: {feature}")
        for key, why in _HINTS.items():
            if generic.pop(key, None):
                _core.warn_once(f"pulp.{key}", f"BRENLOX_COPT ignores {key}: {why}", "pulp")
        raw = dict(_pairs(self.options))
        settings = _core.Settings(silent=not self.msg, time_limit=self.timeLimit, rel_gap=generic.pop("gapRel", None),
                                  abs_gap=generic.pop("gapAbs", None), threads=generic.pop("threads", None))
        raw.update(generic)
        settings.raw = raw
        return settings

    def _run(self, arrays: _core.Arrays) -> tuple[_core.Outcome, _core.Settings]:
        settings = self._settings()
        return _core.run(arrays, settings, lambda message: PulpSolverError(f"BRENLOX_COPT: {message}")), settings


def _pairs(options) -> list:
    if not options:
        return []
    if isinstance(options, Mapping):
        return list(options.items())
    try:
        return [(name, value) for name, value in options]
    except (TypeError, ValueError):
        raise PulpSolverError(
            f"BRENLOX_COPT options must be a mapping or (name, value) pairs of raw solver parameters, got {options!r}"
        ) from None


def _solve3(solver: BRENLOX_COPT, lp):
    variables = lp.variables()
    outcome, _ = solver._run(_arrays3(lp, variables, solver.mip))
    status, sol_status = _STATUS3[outcome.code]
    lp.solutionTime = outcome.seconds
    # Without a solution every value is cleared: an earlier solve's must not read as this one's.
    values = outcome.values if outcome.values is not None else [None] * len(variables)
    for var, value in zip(variables, values):
        var.varValue = value
        var.modified = False
    for constraint in lp._constraints.values():
        constraint.modified = False
    lp.assignStatus(status, sol_status)
    return status


def _arrays3(lp, variables, mip: bool) -> _core.Arrays:
    index = {id(var): i for i, var in enumerate(variables)}
    arrays = _core.Arrays(
        lbs=[-_core.INF if v.lowBound is None else v.lowBound for v in variables],
        ubs=[_core.INF if v.upBound is None else v.upBound for v in variables],
        vtypes=["I" if mip and v.cat == constants.LpInteger else "C" for v in variables],
        names=[v.name for v in variables],
    )
    # PuLP keeps a constraint as expression + constant (sense) 0.
    for constraint in lp._constraints.values():
        arrays.row_vars.append([index[id(var)] for var in constraint.keys()])
        arrays.row_coeffs.append(list(constraint.values()))
        arrays.senses.append(_SENSES[constraint.sense])
        arrays.rhss.append(-constraint.constant)
    arrays.row_names = list(lp._constraints.keys())
    if lp.objective is not None:
        arrays.obj_vars = [index[id(var)] for var in lp.objective.keys()]
        arrays.obj_coeffs = list(lp.objective.values())
        arrays.obj_constant = lp.objective.constant
    arrays.maximize = lp.sense == constants.LpMaximize
    return arrays


_SENSES = {constants.LpConstraintLE: "<", constants.LpConstraintEQ: "=", constants.LpConstraintGE: ">"}


def _solve4(solver: BRENLOX_COPT, lp):
    """PuLP 4: the columns are the variables the model uses (as for PuLP's HiGHS), read from its compiled core
    without a Python wrapper per variable or term."""
    from pulp.apis.core import clocks

    start = clocks()
    core = lp.toRustModel()
    variables = core.list_variables_by_ids(core.used_variable_ids())
    outcome, settings = solver._run(_arrays4(core, variables, solver.mip))
    status = _STATUS4[outcome.code]
    if outcome.code in (_core.NO_OUTCOME, _core.STOPPED_WITH_SOLUTION) and _core.ran_to_time_limit(outcome, settings):
        status = constants.LpSolveStatus.TimeLimit
    # PuLP 4 cannot set a value back to None (its setter skips None): without a solution each value becomes NaN,
    # so that no earlier solve's value reads as this one's, and the objective's value is NaN with them.
    values = outcome.values if outcome.values is not None else [math.nan] * len(variables)
    core.set_variable_values(list(zip(map(_Variable.id, variables), values)))
    return solver.buildStats(lp, status, outcome.values is not None, start=start)


def _arrays4(core, variables, mip: bool) -> _core.Arrays:
    """The model in the module's fastest forms: each row's terms gathered into one compressed-row matrix (rows of
    one length then go over as two 2-D arrays)."""
    n = len(variables)
    ids = np.fromiter(map(_Variable.id, variables), dtype=np.int64, count=n)
    column = None
    if not np.array_equal(ids, np.arange(n)):
        column = np.full(int(ids.max()) + 1, -1, dtype=np.int64)
        column[ids] = np.arange(n)
    integer = (_Category.Integer, _Category.Binary)
    arrays = _core.Arrays(
        lbs=np.fromiter(map(_Variable.lb.__get__, variables), dtype=np.float64, count=n),
        ubs=np.fromiter(map(_Variable.ub.__get__, variables), dtype=np.float64, count=n),
        vtypes=["I" if var.category in integer else "C" for var in variables] if mip else None,
    )
    constraints = core.list_constraints()
    if constraints:
        terms = [constraint.items() for constraint in constraints]
        indptr = np.zeros(len(terms) + 1, dtype=np.int64)
        np.cumsum(np.fromiter(map(len, terms), dtype=np.int64, count=len(terms)), out=indptr[1:])
        indices, data = _terms(chain.from_iterable(terms), int(indptr[-1]), column)
        arrays.row_vars, arrays.row_coeffs = rows(indptr, indices, data)
        arrays.senses = [_SENSES4[constraint.sense] for constraint in constraints]
        arrays.rhss = np.fromiter(map(_Constraint.rhs.__get__, constraints), dtype=np.float64,
                                  count=len(constraints))
    objective = core.get_objective()
    if objective is not None:
        terms = objective.items()
        arrays.obj_vars, arrays.obj_coeffs = _terms(terms, len(terms), column)
        arrays.obj_constant = objective.constant
    arrays.maximize = core.get_sense() == _ObjSense.Maximize
    return arrays


def _terms(terms, count: int, column):
    """(variable, coefficient) pairs as column positions and coefficients."""
    pairs = list(terms)
    ids = np.fromiter(map(_Variable.id, map(itemgetter(0), pairs)), dtype=np.int64, count=count)
    coeffs = np.fromiter(map(itemgetter(1), pairs), dtype=np.float64, count=count)
    return (ids if column is None else column[ids]), coeffs


if _PULP4:
    import numpy as np
    from pulp._rustcore import Category as _Category
    from pulp._rustcore import Constraint as _Constraint
    from pulp._rustcore import ObjSense as _ObjSense
    from pulp._rustcore import Sense as _Sense
    from pulp._rustcore import Variable as _Variable

    from ._rows import rows

    _SENSES4 = {_Sense.LessEqual: "<", _Sense.Equal: "=", _Sense.GreaterEqual: ">"}
    _STATUS4 = {
        _core.NO_OUTCOME: constants.LpSolveStatus.Undefined,
        _core.OPTIMAL: constants.LpSolveStatus.Optimal,
        _core.INFEASIBLE: constants.LpSolveStatus.Infeasible,
        _core.UNBOUNDED: constants.LpSolveStatus.Unbounded,
        _core.STOPPED_WITH_SOLUTION: constants.LpSolveStatus.Stopped,
    }
else:
    _STATUS3 = {
        _core.NO_OUTCOME: (constants.LpStatusNotSolved, constants.LpSolutionNoSolutionFound),
        _core.OPTIMAL: (constants.LpStatusOptimal, constants.LpSolutionOptimal),
        _core.INFEASIBLE: (constants.LpStatusInfeasible, constants.LpSolutionInfeasible),
        _core.UNBOUNDED: (constants.LpStatusUnbounded, constants.LpSolutionUnbounded),
        # PuLP 3 has no "stopped" status: a time limit with a solution is Optimal with an integer-feasible solution,
        # as for PuLP's other API solvers.
        _core.STOPPED_WITH_SOLUTION: (constants.LpStatusOptimal, constants.LpSolutionIntegerFeasible),
    }


def _register() -> None:
    """Lets getSolver("BRENLOX_COPT") and a solver saved with toDict/toJson find this class: through PuLP 4's
    addSolver, or the solver list that PuLP 3's getSolver reads."""
    add = getattr(pulp.apis, "addSolver", None)
    if add is not None:
        add(BRENLOX_COPT)
    elif BRENLOX_COPT not in pulp.apis._all_solvers:
        pulp.apis._all_solvers.append(BRENLOX_COPT)


_register()
