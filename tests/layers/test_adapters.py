"""Our adapters' own contract, one table per concern: every result code of the module as each layer reports it, and
each refusal as the layer's own error kind naming the missing feature. The model: maximise x + y, x + y <= 4,
0 <= x, y <= 3 (optimum 4)."""

import math

import pytest
from support.layer_results import assert_value, time_limits


def _pulp(timeLimit=None, **options):
    pulp = pytest.importorskip("pulp")
    if hasattr(pulp, "LpSolveStatus"):
        pytest.skip("PuLP 4 reports a solve as LpSolveStats: checked in test_layer_results.py")
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
# (status, solution status, x) with x None where no solution is loaded; math.nan for "some value".
SOLVED = [
    ({}, None, {
        "pulp": ("Optimal", "Optimal Solution Found", math.nan),
        "pyomo": ("convergenceCriteriaSatisfied", "optimal", math.nan),
        "cvxpy": ("optimal", None, math.nan)}),
    ({"status": 2, "has_sol": 0}, None, {
        "pulp": ("Infeasible", "No Solution Exists", None),
        "pyomo": ("provenInfeasible", "infeasible", None),
        "cvxpy": ("infeasible", None, None)}),
    ({"status": 3, "has_sol": 0}, None, {
        "pulp": ("Unbounded", "Solution is Unbounded", None),
        "pyomo": ("unbounded", "noSolution", None),
        "cvxpy": ("unbounded", None, None)}),
    ({"status": 8, "has_sol": 1, "solution": [1.0, 2.0], "obj_val": 3.0}, 5.0, {
        "pulp": ("Optimal", "Solution Found", 1.0),
        "pyomo": ("maxTimeLimit", "feasible", 1.0),
        "cvxpy": ("user_limit", None, 1.0)}),
    ({"status": 8, "has_sol": 0}, 5.0, {
        "pulp": ("Not Solved", "No Solution Found", None),
        "pyomo": ("maxTimeLimit", "noSolution", None),
        "cvxpy": ("solver failed", None, None)}),
]


@pytest.mark.parametrize("layer", LAYERS)
@pytest.mark.parametrize("forced, time_limit, expected", SOLVED, ids=["optimal", "infeasible", "unbounded",
                                                                        "limit-with-solution", "limit-without"])
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


def _cvxpy_quadratic():
    _cvxpy(quadratic=True)


UNKNOWN = {"NoSuchParameter": 1}
SOLVER_REFUSES = "COPT error in COPT_SetIntParam(Raw): code 8"


def _error(module, name):
    return lambda: getattr(pytest.importorskip(module), name)


@pytest.mark.parametrize("action, error, message", [
    (_pyomo_quadratic, _error("pyomo.contrib.solver.common.util", "IncompatibleModelError"),
     "linear and mixed-integer linear models only"),
    (_pyomo_duals, _error("pyomo.contrib.solver.common.util", "NoDualsError"), "does not compute duals"),
    (_cvxpy_quadratic, _error("cvxpy.error", "SolverError"), "no quadratic terms, no cones"),
    (lambda: _pulp(**UNKNOWN), _error("pulp", "PulpSolverError"), SOLVER_REFUSES),
    (lambda: _pyomo(**UNKNOWN), _error("pyomo.contrib.solver.common.util", "SolverError"), SOLVER_REFUSES),
    (lambda: _cvxpy(**UNKNOWN), _error("cvxpy.error", "SolverError"), SOLVER_REFUSES),
], ids=["pyomo-quadratic", "pyomo-duals", "cvxpy-quadratic", "pulp-unknown-parameter",
        "pyomo-unknown-parameter", "cvxpy-unknown-parameter"])
def test_what_the_module_cannot_do_is_refused_by_name(standin, action, error, message):
    with pytest.raises(error()) as raised:
        action()
    assert message in str(raised.value)
