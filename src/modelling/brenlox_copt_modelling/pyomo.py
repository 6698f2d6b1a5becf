"""Pyomo's solver "brenlox_copt" (pyomo.contrib.solver): ``SolverFactory("brenlox_copt").solve(model)``.

Importing this module registers the solver with Pyomo's solver factory (and with the legacy ``pyo.SolverFactory`` as
``"brenlox_copt_v2"``). The model is compiled with Pyomo's linear standard-form compiler, then handed to the module in one
``add_variables`` and one ``add_constraints`` call.
"""

from __future__ import annotations

import datetime
import io
import time

from pyomo.common.collections import ComponentMap
from pyomo.common.errors import (
    InfeasibleConstraintException,
    InvalidConstraintError,
    InvalidExpressionError,
    InvalidValueError,
)
from pyomo.common.tee import TeeStream, capture_output
from pyomo.common.timing import HierarchicalTimer
from pyomo.contrib.solver.common.base import Availability, SolverBase
from pyomo.contrib.solver.common.config import BranchAndBoundConfig
from pyomo.contrib.solver.common.factory import SolverFactory
from pyomo.contrib.solver.common.results import Results, SolutionStatus, TerminationCondition
from pyomo.contrib.solver.common.solution_loader import SolutionLoader
from pyomo.contrib.solver.common.util import (
    IncompatibleModelError,
    NoDualsError,
    NoFeasibleSolutionError,
    NoOptimalSolutionError,
    NoReducedCostsError,
    NoSolutionError,
    SolverError,
)
from pyomo.common.enums import ObjectiveSense
from pyomo.core.base.var import Var
from pyomo.core.staleflag import StaleFlagManager
from pyomo.repn.plugins.standard_form import LinearStandardFormCompiler

from . import __version__, _core

NAME = "brenlox_copt"
_NO_DUALS = "brenlox_copt does not compute duals: the module returns primal values and the objective only"
_NO_RCS = "brenlox_copt does not compute reduced costs: the module returns primal values and the objective only"


class BrenloxCopt(SolverBase):
    """The COPT solver through brenlox_copt, for linear and mixed-integer linear models."""

    CONFIG = BranchAndBoundConfig()

    def available(self) -> Availability:
        return Availability.FullLicense if _core.available() else Availability.NotFound

    def version(self) -> tuple:
        return tuple(int(part) for part in __version__.split(".")[:3] if part.isdigit())

    def solve(self, model, **kwds) -> Results:
        start_timestamp = datetime.datetime.now(datetime.timezone.utc)
        tick = time.perf_counter()
        config = self.config(value=kwds, preserve_implicit=True)
        StaleFlagManager.mark_all_as_stale()
        timer = config.timer
        if timer is None:
            timer = config.timer = HierarchicalTimer()

        timer.start("compile")
        try:
            form = _compile(model)
        except InfeasibleConstraintException:
            # A constraint with no variables left (all fixed) that cannot hold: the model is infeasible as written.
            form = None
        timer.stop("compile")

        results = Results()
        results.solver_name = self.name
        results.solver_version = self.version()
        results.solver_config = config
        if form is None:
            results.solution_loader = _Loader(model, None)
            results.termination_condition = TerminationCondition.provenInfeasible
            results.solution_status = SolutionStatus.noSolution
            results.solver_log = ""
        else:
            self._run(form, config, timer, results, model)
        results.timing_info.start_timestamp = start_timestamp
        results.timing_info.wall_time = time.perf_counter() - tick
        results.timing_info.timer = timer

        if (results.termination_condition != TerminationCondition.convergenceCriteriaSatisfied
                and config.raise_exception_on_nonoptimal_result):
            raise NoOptimalSolutionError()
        if config.load_solutions:
            if results.solution_loader.get_number_of_solutions() == 0:
                raise NoFeasibleSolutionError()
            timer.start("load solution")
            results.solution_loader.load_solution()
            timer.stop("load solution")
        return results

    def _run(self, form, config, timer, results, model) -> None:
        arrays, integer = _arrays(form)
        settings = _core.Settings(silent=not config.tee, time_limit=config.time_limit, rel_gap=config.rel_gap,
                                  abs_gap=config.abs_gap, threads=config.threads, raw=dict(config.solver_options))
        log = io.StringIO()
        timer.start("load and optimize")
        if config.tee:
            # The solver writes its log to file descriptor 1, which only a capture of the descriptor sees. Such a
            # capture is process-wide (two at once on two threads can hang), so it is taken only when the log is
            # asked for; otherwise the solver is silent.
            with capture_output(output=TeeStream(log, *config.tee), capture_fd=True):
                outcome = _core.run(arrays, settings, _refused)
        else:
            outcome = _core.run(arrays, settings, _refused)
        timer.stop("load and optimize")
        results.solver_log = log.getvalue()
        results.timing_info.solve_time = outcome.seconds
        values = None if outcome.values is None else ComponentMap(zip(form.columns, outcome.values))
        results.solution_loader = _Loader(model, values)
        results.termination_condition, results.solution_status = _status(outcome, settings)
        if form.objectives and outcome.values is not None:
            results.incumbent_objective = outcome.objective
            # An LP's optimum is its own bound; the module reports no bound for a MIP.
            if outcome.code == _core.OPTIMAL and not integer:
                results.objective_bound = outcome.objective


def _refused(message: str) -> SolverError:
    """What the module refuses (a parameter the solver does not know, a NaN, ...), as Pyomo's error kind."""
    return SolverError(f"brenlox_copt: {message}")


def _status(outcome, settings):
    solution = SolutionStatus.noSolution if outcome.values is None else SolutionStatus.feasible
    if outcome.code == _core.OPTIMAL:
        return TerminationCondition.convergenceCriteriaSatisfied, SolutionStatus.optimal
    if outcome.code == _core.INFEASIBLE:
        return TerminationCondition.provenInfeasible, SolutionStatus.noSolution
    if outcome.code == _core.UNBOUNDED:
        return TerminationCondition.unbounded, SolutionStatus.noSolution
    # The module says "stopped early" or "no usable outcome" (infeasible or unbounded included) without a reason.
    if _core.ran_to_time_limit(outcome, settings):
        return TerminationCondition.maxTimeLimit, solution
    return TerminationCondition.unknown, solution


def _compile(model):
    try:
        return LinearStandardFormCompiler().write(model, mixed_form=True, set_sense=None)
    except InvalidValueError as error:
        # A value that is no number (a NaN parameter, say), refused as the module refuses a NaN it is given.
        raise _refused(f"the model holds a value that is not a number: {error}") from error
    except (InvalidExpressionError, InvalidConstraintError, ValueError) as error:
        # The compiler's refusals: nonlinear (quadratic included) terms, components it does not know (SOS, ...).
        raise IncompatibleModelError(
            f"brenlox_copt handles linear and mixed-integer linear models only: {error}"
        ) from error


def _arrays(form) -> tuple[_core.Arrays, bool]:
    if len(form.objectives) > 1:
        raise IncompatibleModelError(f"brenlox_copt solves one objective, the model has {len(form.objectives)}")
    columns = form.columns
    bounds = [v.bounds for v in columns]
    vtypes = [_vtype(v) for v in columns]
    arrays = _core.Arrays(
        lbs=[-_core.INF if lb is None else lb for lb, _ in bounds],
        ubs=[_core.INF if ub is None else ub for _, ub in bounds],
        vtypes=vtypes,
    )
    matrix = form.A.tocsr() if form.A is not None else None
    if matrix is not None and matrix.shape[0]:
        arrays.row_vars, arrays.row_coeffs = _core.csr_rows(matrix.indptr, matrix.indices, matrix.data)
        arrays.senses = [_SENSES[row.bound_type] for row in form.rows]
        arrays.rhss = form.rhs
    if form.objectives:
        objective = form.c.tocsr()
        arrays.obj_vars = objective.indices
        arrays.obj_coeffs = objective.data
        arrays.obj_constant = float(form.c_offset[0])
        arrays.maximize = form.objectives[0].sense == ObjectiveSense.maximize
    return arrays, "I" in vtypes


def _vtype(var) -> str:
    """The module's type of a variable: a real interval is continuous, a run of consecutive integers integer. Any
    other domain (every second integer, a set of values, steps of 0.5) is one the solver cannot hold exactly."""
    if var.is_continuous():
        return "C"
    if var.is_integer():
        return "I"
    raise IncompatibleModelError(
        f"brenlox_copt solves continuous and integer variables only: variable {var.name} has the domain "
        f"{var.domain}, {var.domain.get_interval()} as (lower, upper, step)"
    )


# The standard-form compiler's mixed form: 1 an upper bound, -1 a lower bound, 0 an equality.
_SENSES = {1: "<", -1: ">", 0: "="}


class _Loader(SolutionLoader):
    """The one solution of a solve (or none); primal values only."""

    def __init__(self, model, values):
        self._pyomo_model = model  # the base class clears the model's import suffixes through it
        self._values = values

    def get_number_of_solutions(self) -> int:
        return 0 if self._values is None else 1

    def get_vars(self, vars_to_load=None):
        if self._values is None:
            raise NoSolutionError()
        if vars_to_load is None:
            # Fixed variables are constants to the compiler, so no column holds them; the solution has them all the
            # same, at their own values, as Pyomo's other solvers load them.
            result = ComponentMap(self._values)
            vars_to_load = (var for var in self._pyomo_model.component_data_objects(Var, active=True, descend_into=True)
                            if var.fixed)
        else:
            result = ComponentMap()
        for var in vars_to_load:
            if var in self._values:
                result[var] = self._values[var]
            elif var.fixed:
                result[var] = var.value
        return result

    def get_duals(self, cons_to_load=None):
        raise NoDualsError(_NO_DUALS)

    def get_reduced_costs(self, vars_to_load=None):
        raise NoReducedCostsError(_NO_RCS)


# The legacy name follows Pyomo's convention for solvers of its current interface that share a name with one of
# the old interface's (ipopt_v2, gams_v2).
SolverFactory.register(NAME, legacy_name=f"{NAME}_v2", doc="The COPT solver through brenlox_copt (LP and MIP)")(
    BrenloxCopt
)
