"""Our adapters' own contract, one table per concern: every result code of the module as each layer reports it, and
each refusal as the layer's own error kind naming the missing feature. The model: maximise x + y, x + y <= 4,
0 <= x, y <= 3 (optimum 4)."""

import math
import subprocess
import sys
import tomllib
import warnings
from pathlib import Path

import pytest
from support.layer_results import assert_value, time_limits


def _pulp3():
    pulp = pytest.importorskip("pulp")
    if hasattr(pulp, "LpSolveStatus"):
        pytest.skip("PuLP 4 reports a solve as LpSolveStats: checked in test_layer_results.py")
    return pulp


def _pulp(timeLimit=None, **options):
    pulp = _pulp3()
    from brenlox_copt_modelling.pulp import BRENLOX_COPT

    prob = pulp.LpProblem("p", pulp.LpMaximize)
    x, y = prob.add_variable("x", 0, 3), prob.add_variable("y", 0, 3)
    prob += x + y
    prob += x + y <= 4, "cap"
    prob.solve(BRENLOX_COPT(msg=False, timeLimit=timeLimit, **options))
    return pulp.LpStatus[prob.status], pulp.LpSolution[prob.sol_status], x.varValue


def _pyomo_model(quadratic=False):
    pyo = pytest.importorskip("pyomo.environ")
    pytest.importorskip("brenlox_copt_modelling.pyomo")
    m = pyo.ConcreteModel()
    m.x, m.y = pyo.Var(bounds=(0, 3)), pyo.Var(bounds=(0, 3))
    m.obj = pyo.Objective(expr=m.x * m.x + m.y if quadratic else m.x + m.y, sense=pyo.maximize)
    m.cap = pyo.Constraint(expr=m.x + m.y <= 4)
    return m


def _pyomo(timeLimit=None, **options):
    m = _pyomo_model()
    from pyomo.contrib.solver.common.factory import SolverFactory

    res = SolverFactory("brenlox_copt").solve(m, time_limit=timeLimit, load_solutions=False,
                                              raise_exception_on_nonoptimal_result=False, solver_options=options)
    x = res.solution_loader.get_vars([m.x])[m.x] if res.solution_loader.get_number_of_solutions() else None
    return res.termination_condition.name, res.solution_status.name, x


def _cvxpy(timeLimit=None, quadratic=False, **options):
    cp = pytest.importorskip("cvxpy")
    from brenlox_copt_modelling.cvxpy import BRENLOX_COPT

    x = cp.Variable(2, bounds=[0, 3])
    objective = cp.Maximize(cp.sum(x) - cp.sum_squares(x) if quadratic else cp.sum(x))
    problem = cp.Problem(objective, [cp.sum(x) <= 4])
    try:
        problem.solve(solver=BRENLOX_COPT(), **({} if timeLimit is None else {"time_limit": timeLimit}), **options)
    except cp.error.SolverError:
        if quadratic or options:
            raise
        return "solver failed", None, None
    return problem.status, None, None if x.value is None else float(x.value[0])


LAYERS = {"pulp": _pulp, "pyomo": _pyomo, "cvxpy": _cvxpy}
# The solver's Status (HasSol) forced at the solve, the time limit given, then what each layer reports:
# (status, solution status, x) with x None where no solution is loaded; math.nan for "some value". A stop is put down
# to the time limit only when the solve lasted that long (a limit of zero it always has).
SOLVED = [
    ({}, None, {
        "pulp": ("Optimal", "Optimal Solution Found", math.nan),
        "pyomo": ("convergenceCriteriaSatisfied", "optimal", math.nan),
        "cvxpy": ("optimal", None, math.nan)}),
    ({"status": 2, "has_sol": 0}, None, {
        "pulp": ("Infeasible", "No Solution Exists", None),
        "pyomo": ("provenInfeasible", "noSolution", None),
        "cvxpy": ("infeasible", None, None)}),
    ({"status": 3, "has_sol": 0}, None, {
        "pulp": ("Unbounded", "Solution is Unbounded", None),
        "pyomo": ("unbounded", "noSolution", None),
        "cvxpy": ("unbounded", None, None)}),
    ({"status": 8, "has_sol": 1, "solution": [1.0, 2.0], "obj_val": 3.0}, 0.0, {
        "pulp": ("Optimal", "Solution Found", 1.0),
        "pyomo": ("maxTimeLimit", "feasible", 1.0),
        "cvxpy": ("user_limit", None, 1.0)}),
    ({"status": 8, "has_sol": 0}, 0.0, {
        "pulp": ("Not Solved", "No Solution Found", None),
        "pyomo": ("maxTimeLimit", "noSolution", None),
        "cvxpy": ("solver failed", None, None)}),
    ({"status": 10, "has_sol": 1, "solution": [1.0, 2.0], "obj_val": 3.0}, 100.0, {
        "pulp": ("Optimal", "Solution Found", 1.0),
        "pyomo": ("unknown", "feasible", 1.0),
        "cvxpy": ("user_limit", None, 1.0)}),
    ({"status": 4, "has_sol": 0}, 100.0, {
        "pulp": ("Not Solved", "No Solution Found", None),
        "pyomo": ("unknown", "noSolution", None),
        "cvxpy": ("solver failed", None, None)}),
]


@pytest.mark.parametrize("layer", LAYERS)
@pytest.mark.parametrize("forced, time_limit, expected", SOLVED, ids=[
    "optimal", "infeasible", "unbounded", "limit-with-solution", "limit-without", "stopped-within-the-limit",
    "no-outcome-within-the-limit"])
def test_each_result_code_maps_to_the_layers_status(standin, layer, forced, time_limit, expected):
    if forced:
        standin.force_result(**forced)
    status, solution, x = LAYERS[layer](timeLimit=time_limit)
    want_status, want_solution, want_x = expected[layer]
    assert (status, solution) == (want_status, want_solution)
    assert_value(x, want_x)
    assert time_limits(standin) == ([] if time_limit is None else [time_limit])


def _pyomo_quadratic():
    from pyomo.contrib.solver.common.factory import SolverFactory

    SolverFactory("brenlox_copt").solve(_pyomo_model(quadratic=True))


def _pyomo_duals():
    from pyomo.contrib.solver.common.factory import SolverFactory

    m = _pyomo_model()
    SolverFactory("brenlox_copt").solve(m).solution_loader.get_duals()


def _pyomo_domain(make):
    """Maximise x subject to x <= 5, x in the domain make(pyo) gives (optimum 4 for every second integer, 3 for the
    set {1, 3, 7}, 5 for steps of 0.5): a domain the solver cannot hold, which must not be solved as continuous."""
    def solve():
        pyo = pytest.importorskip("pyomo.environ")
        pytest.importorskip("brenlox_copt_modelling.pyomo")
        from pyomo.contrib.solver.common.factory import SolverFactory

        m = pyo.ConcreteModel()
        m.domain = make(pyo)
        m.x = pyo.Var(domain=m.domain)
        m.obj = pyo.Objective(expr=m.x, sense=pyo.maximize)
        m.cap = pyo.Constraint(expr=m.x <= 5)
        SolverFactory("brenlox_copt").solve(m)
    return solve


def _pyomo_nan_parameter():
    pyo = pytest.importorskip("pyomo.environ")
    from pyomo.contrib.solver.common.factory import SolverFactory

    m = _pyomo_model()
    m.p = pyo.Param(initialize=math.nan, mutable=True, within=pyo.Any)
    m.cap.set_value(m.p * m.x + m.y <= 4)
    SolverFactory("brenlox_copt").solve(m)


def _cvxpy_quadratic():
    _cvxpy(quadratic=True)


UNKNOWN = {"NoSuchParameter": 1}
SOLVER_REFUSES = "COPT error in COPT_SetIntParam(Raw): code 8"
INCOMPATIBLE = ("pyomo.contrib.solver.common.util", "IncompatibleModelError")


def _error(module, name):
    return lambda: getattr(pytest.importorskip(module), name)


@pytest.mark.parametrize("action, error, message", [
    (_pyomo_quadratic, _error(*INCOMPATIBLE), "linear and mixed-integer linear models only"),
    (_pyomo_duals, _error("pyomo.contrib.solver.common.util", "NoDualsError"), "does not compute duals"),
    (_pyomo_domain(lambda pyo: pyo.RangeSet(0, 10, 2)), _error(*INCOMPATIBLE),
     "variable x has the domain domain, (0, 10, 2) as (lower, upper, step)"),
    (_pyomo_domain(lambda pyo: pyo.Set(initialize=[1, 3, 7])), _error(*INCOMPATIBLE),
     "variable x has the domain domain, (1, 7, None) as (lower, upper, step)"),
    (_pyomo_domain(lambda pyo: pyo.RangeSet(0, 5, 0.5)), _error(*INCOMPATIBLE),
     "variable x has the domain domain, (0, 5.0, 0.5) as (lower, upper, step)"),
    (_pyomo_nan_parameter, _error("pyomo.contrib.solver.common.util", "SolverError"),
     "brenlox_copt: the model holds a value that is not a number: Cannot emit InvalidNumber(nan)"),
    (_cvxpy_quadratic, _error("cvxpy.error", "SolverError"), "The solver BRENLOX_COPT cannot solve this problem"),
    (lambda: _pulp(**UNKNOWN), _error("pulp", "PulpSolverError"), SOLVER_REFUSES),
    (lambda: _pyomo(**UNKNOWN), _error("pyomo.contrib.solver.common.util", "SolverError"), SOLVER_REFUSES),
    (lambda: _cvxpy(**UNKNOWN), _error("cvxpy.error", "SolverError"), SOLVER_REFUSES),
], ids=["pyomo-quadratic", "pyomo-duals", "pyomo-every-second-integer", "pyomo-set-of-values", "pyomo-half-steps",
        "pyomo-nan-parameter", "cvxpy-quadratic", "pulp-unknown-parameter", "pyomo-unknown-parameter",
        "cvxpy-unknown-parameter"])
def test_what_the_module_cannot_do_is_refused_by_name(standin, action, error, message):
    with pytest.raises(error()) as raised:
        action()
    assert message in str(raised.value)


def test_pulp_takes_a_warm_start_as_the_hint_it_is(standin):
    from brenlox_copt_modelling import _core

    _pulp3()
    _core._warned.discard("pulp.warmStart")  # PuLP's own tests may have warned already
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        solves = [_pulp(warmStart=True) for _ in range(2)]
    for status, solution, x in solves:
        assert (status, solution) == ("Optimal", "Optimal Solution Found") and 1.0 <= x <= 3.0
    assert [str(w.message) for w in caught] == [
        "BRENLOX_COPT ignores warmStart: initial values are not passed to the solver"]
    assert caught[0].filename == __file__


def _pulp_crossed():
    pulp = _pulp3()
    from brenlox_copt_modelling.pulp import BRENLOX_COPT

    prob = pulp.LpProblem("p", pulp.LpMaximize)
    x = prob.add_variable("x", 5, 1)
    prob += x
    prob.solve(BRENLOX_COPT(msg=False))
    return pulp.LpStatus[prob.status], pulp.LpSolution[prob.sol_status]


def _pyomo_crossed():
    m = _pyomo_model()
    m.x.setlb(5)
    m.x.setub(1)
    from pyomo.contrib.solver.common.factory import SolverFactory

    res = SolverFactory("brenlox_copt").solve(m, load_solutions=False, raise_exception_on_nonoptimal_result=False)
    return res.termination_condition.name, res.solution_status.name


@pytest.mark.parametrize("crossed, expected", [
    (_pulp_crossed, ("Infeasible", "No Solution Exists")),
    (_pyomo_crossed, ("provenInfeasible", "noSolution")),
], ids=["pulp", "pyomo"])
def test_crossed_bounds_are_infeasible_without_a_solve(standin, crossed, expected):
    # (CVXPY refuses such bounds itself.) The rest of the model still reaches the module, which checks it.
    assert crossed() == expected
    assert standin.count("COPT_Solve") == 0 and standin.count("COPT_AddCols") == 1


def _pulp_twice():
    pulp = _pulp3()
    from brenlox_copt_modelling.pulp import BRENLOX_COPT

    prob = pulp.LpProblem("p", pulp.LpMaximize)
    x = prob.add_variable("x", 0, 3)
    prob += x
    yield prob.solve(BRENLOX_COPT(msg=False)), x.varValue, pulp.value(prob.objective)
    prob += x >= 5, "beyond"
    yield prob.solve(BRENLOX_COPT(msg=False)), x.varValue, pulp.value(prob.objective)


def _pyomo_twice():
    m = _pyomo_model()
    from pyomo.contrib.solver.common.factory import SolverFactory

    options = dict(load_solutions=False, raise_exception_on_nonoptimal_result=False)
    for _ in range(2):
        res = SolverFactory("brenlox_copt").solve(m, **options)
        solved = res.solution_loader.get_number_of_solutions()
        if solved:
            res.solution_loader.load_vars()
        yield res.termination_condition.name, None if m.x.stale else m.x.value, res.incumbent_objective
        m.beyond = type(m.cap)(expr=m.x >= 5)


def _cvxpy_twice():
    cp = pytest.importorskip("cvxpy")
    from brenlox_copt_modelling.cvxpy import BRENLOX_COPT

    x = cp.Variable(bounds=[0, 3])
    for constraints in ([], [x >= 5]):
        problem = cp.Problem(cp.Maximize(x), constraints)
        problem.solve(solver=BRENLOX_COPT())
        yield problem.status, x.value, problem.value


@pytest.mark.parametrize("solves, solved, infeasible", [
    (_pulp_twice, 1, -1), (_pyomo_twice, "convergenceCriteriaSatisfied", "provenInfeasible"),
    (_cvxpy_twice, "optimal", "infeasible")], ids=["pulp", "pyomo", "cvxpy"])
def test_no_value_of_an_earlier_solve_reads_as_a_later_one(standin, solves, solved, infeasible):
    first, second = solves()
    assert first[0] == solved and first[1] == pytest.approx(3.0)
    assert second[0] == infeasible and second[1] is None and second[2] in (None, -math.inf)


THREADS = """
import threading
import pyomo.environ as pyo
from pyomo.contrib.solver.common.factory import SolverFactory
import brenlox_copt_modelling.pyomo

def solve(i, found):
    m = pyo.ConcreteModel()
    m.x = pyo.Var(bounds=(0, i))
    m.obj = pyo.Objective(expr=m.x, sense=pyo.maximize)
    for _ in range(3):
        found[i] = SolverFactory("brenlox_copt").solve(m).incumbent_objective

for n in (2, 8):
    found = {}
    threads = [threading.Thread(target=solve, args=(i, found)) for i in range(n)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    print(n, [found[i] for i in range(n)])
"""


def test_pyomo_solves_on_several_threads_at_once_in_silence():
    pytest.importorskip("pyomo")
    # In a process of its own, so that a hang fails the test at the timeout rather than blocking the run.
    done = subprocess.run([sys.executable, "-c", THREADS], capture_output=True, text=True, timeout=60)
    assert done.returncode == 0, done.stderr
    assert done.stdout == f"2 {[0.0, 1.0]}\n8 {[float(i) for i in range(8)]}\n"


def test_pyomo_reports_the_package_version_without_installed_metadata(monkeypatch):
    from importlib import metadata

    pytest.importorskip("brenlox_copt_modelling.pyomo")
    from pyomo.contrib.solver.common.factory import SolverFactory

    def missing(name):
        raise metadata.PackageNotFoundError(name)

    monkeypatch.setattr(metadata, "version", missing)  # as in a source tree
    with open(Path(__file__).parents[2] / "pyproject.toml", "rb") as pyproject:
        version = tomllib.load(pyproject)["project"]["version"]
    res = SolverFactory("brenlox_copt").solve(_pyomo_model())
    assert res.solver_version == tuple(int(part) for part in version.split("."))


def test_pulp_marks_what_it_solved_unmodified(standin):
    pulp = _pulp3()
    from brenlox_copt_modelling.pulp import BRENLOX_COPT

    prob = pulp.LpProblem("p", pulp.LpMaximize)
    x = prob.add_variable("x", 0, 3)
    prob += x
    prob += x <= 2, "cap"
    prob.solve(BRENLOX_COPT(msg=False))
    assert not x.modified and not prob.constraints["cap"].modified
    assert not hasattr(prob.constraints["cap"], "modifier")


def test_cvxpy_can_solve_is_a_yes_or_no_and_the_solver_names_what_is_missing():
    cp = pytest.importorskip("cvxpy")
    from cvxpy.problems.problem_form import ProblemForm
    from cvxpy.reductions.chain import Chain

    from brenlox_copt_modelling.cvxpy import BRENLOX_COPT

    x = cp.Variable(2)
    conic = cp.Problem(cp.Minimize(cp.sum_squares(x)), [cp.norm(x, 2) <= 1])
    assert BRENLOX_COPT().can_solve(ProblemForm(conic)) is False
    assert BRENLOX_COPT().can_solve(ProblemForm(cp.Problem(cp.Minimize(cp.sum(x)), [x >= 1]))) is True
    # A chain built for a conic solver with quadratic objectives, handed to ours.
    _, chain, _ = conic.get_problem_data(cp.CLARABEL)
    cone_program, _ = Chain(reductions=chain.reductions[:-1]).apply(conic)
    with pytest.raises(cp.error.SolverError, match="cones\\); this problem needs a quadratic objective, SOC$"):
        BRENLOX_COPT().apply(cone_program)


def test_csr_rows_leave_the_garbage_collector_alone(monkeypatch):
    import gc

    np = pytest.importorskip("numpy")
    from brenlox_copt_modelling import _core

    def switched():
        raise AssertionError("the collector is process-wide: a library call must not switch it")

    monkeypatch.setattr(gc, "disable", switched)
    monkeypatch.setattr(gc, "enable", switched)
    starts, indices, values = np.array([0, 2, 2, 3]), np.array([0, 4, 1]), np.array([1.5, -2.0, 3.0])
    variables, coefficients = _core.csr_rows(starts, indices, values)
    assert (list(variables), list(coefficients)) == ([[0, 4], [], [1]], [[1.5, -2.0], [], [3.0]])
    assert (len(variables), variables[2], variables[-1]) == (3, [1], [1])
