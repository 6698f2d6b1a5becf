"""PuLP's solver class for brenlox_copt: ``prob.solve(BRENLOX_COPT(msg=False))``, or ``getSolver("BRENLOX_COPT")``."""

from __future__ import annotations

import warnings
from collections.abc import Mapping

import pulp
from pulp import constants
from pulp.apis import LpSolver, PulpSolverError

from . import _core

# PuLP's own option names that map onto the module; anything else in the options goes to the solver as a raw
# parameter. These have no counterpart in the module and would change what the user gets, so asking for them is an
# error rather than a silent no-op.
_UNSUPPORTED = {
    "logPath": "log files (the solver's log goes to standard output when msg=True)",
    "keepFiles": "files (the model goes to the solver in memory)",
}
# A hint that changes no result: taken, as PuLP's solvers that cannot use one take it, with a warning.
_WARM_START_IGNORED = "BRENLOX_COPT ignores warmStart: initial values are not passed to the solver"
_STATUS = {
    _core.NO_OUTCOME: (constants.LpStatusNotSolved, constants.LpSolutionNoSolutionFound),
    _core.OPTIMAL: (constants.LpStatusOptimal, constants.LpSolutionOptimal),
    _core.INFEASIBLE: (constants.LpStatusInfeasible, constants.LpSolutionInfeasible),
    _core.UNBOUNDED: (constants.LpStatusUnbounded, constants.LpSolutionUnbounded),
    # PuLP has no "stopped" status: a time limit with a solution is Optimal with an integer-feasible solution, as
    # for PuLP's other API solvers.
    _core.STOPPED_WITH_SOLUTION: (constants.LpStatusOptimal, constants.LpSolutionIntegerFeasible),
}


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
        variables = lp.variables()
        arrays = _arrays(lp, variables, self.mip)
        outcome = _core.run(arrays, self._settings(), lambda message: PulpSolverError(f"BRENLOX_COPT: {message}"))
        status, sol_status = _STATUS[outcome.code]
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

    def actualResolve(self, lp, **kwargs):
        # The module keeps no model between solves: a resolve is a fresh solve.
        return self.actualSolve(lp, **kwargs)

    def _settings(self) -> _core.Settings:
        generic = dict(self.optionsDict)
        if generic.pop("warmStart", False):
            warnings.warn(_WARM_START_IGNORED, stacklevel=2)
        for key, feature in _UNSUPPORTED.items():
            if generic.pop(key, None):
                raise PulpSolverError(f"BRENLOX_COPT does not support {key}: {feature}")
        raw = dict(_pairs(self.options))
        settings = _core.Settings(silent=not self.msg, time_limit=self.timeLimit, rel_gap=generic.pop("gapRel", None),
                                  abs_gap=generic.pop("gapAbs", None), threads=generic.pop("threads", None))
        raw.update(generic)
        settings.raw = raw
        return settings


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


def _arrays(lp, variables, mip: bool) -> _core.Arrays:
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


def _register() -> None:
    """Lets getSolver("BRENLOX_COPT") and a solver saved with toDict/toJson find this class, through the solver
    list that PuLP's getSolver reads."""
    solvers = pulp.apis._all_solvers
    if BRENLOX_COPT not in solvers:
        solvers.append(BRENLOX_COPT)


_register()
