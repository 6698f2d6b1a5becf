"""PuLP 4, linopy and SciPy's milp through our adapters: every result code of the module as each reports it, after
an earlier solve that had a solution (none of it may read as the new one), a time limit named only when the solve
ran to it, crossed bounds infeasible without a solve, hints accepted, and what the module cannot do refused by name.
The model: maximise x + y, x + y <= 4, 0 <= x, y <= 3."""

import math
import warnings

import pytest
from support.layer_results import assert_value, time_limits

from brenlox_copt_modelling import _core


def _unset(value):
    """None for no value: PuLP 4 cannot set a value back to None, so ours leaves NaN; linopy reads NaN too."""
    return None if value is None or math.isnan(value) else value


# Each layer's run: the model solved once with a solution, then its variable x given the lower bound `lower` and
# solved again with the options; what that second solve leaves to read is (status, objective, x).
def _pulp4(time_limit=None, lower=0.0, **options):
    pulp = pytest.importorskip("pulp")
    if not hasattr(pulp, "LpSolveStatus"):
        pytest.skip("PuLP 3: its results are checked in test_adapters.py")
    from brenlox_copt_modelling.pulp import BRENLOX_COPT

    prob = pulp.LpProblem("p", pulp.LpMaximize)
    x, y = prob.add_variable("x", 0, 3), prob.add_variable("y", 0, 3)
    prob += x + y
    prob += x + y <= 4, "cap"
    yield lambda: prob.solve(BRENLOX_COPT(msg=False))
    x.lowBound = lower
    stats = prob.solve(BRENLOX_COPT(msg=False, timeLimit=time_limit, **options))
    # Read from the problem, not from stats (whose objective is None without a solution).
    objective = _unset(prob.objective.value())
    assert stats.objective == objective
    yield stats.status.name, objective, _unset(x.varValue)


def _linopy(time_limit=None, lower=0.0, **options):
    linopy = pytest.importorskip("linopy")
    from brenlox_copt_modelling.linopy import solve

    m = linopy.Model()
    # (linopy refuses to cross a variable's bounds once it is made, so a crossed model is crossed from the start.)
    x = m.add_variables(lower=lower, upper=3, name="x")
    y = m.add_variables(lower=0, upper=3, name="y")
    m.add_constraints(x + y <= 4, name="cap")
    m.add_objective(x + y, sense="max")
    yield lambda: solve(m, silent=True)
    status = solve(m, silent=True, time_limit=time_limit, **options)
    objective = m.objective.value
    try:
        value = float(x.solution)
    except (AttributeError, KeyError):  # linopy's answers when the model holds no solution
        value = None
    yield "/".join(status), None if objective is None else _unset(objective), _unset(value)


def _scipy(time_limit=None, lower=0.0, **options):
    pytest.importorskip("scipy")
    from brenlox_copt_modelling.scipy import milp

    options = dict(options, **({} if time_limit is None else {"time_limit": time_limit}))

    def run(lower=0.0, **more):
        return milp([-1, -1], bounds=([lower, 0], [3, 3]), constraints=([[1, 1]], -math.inf, 4), options=more)

    yield lambda: run()
    res = run(lower, **options)
    yield f"{res.status} {res.message.partition(' (')[0]}", res.fun, None if res.x is None else res.x[0]


LAYERS = {"pulp4": _pulp4, "linopy": _linopy, "scipy": _scipy}
# The solver's Status (HasSol) forced at the solve, the time limit, then what each layer reports: (status, objective,
# x) with None where no solution is read; math.nan for "some value" (the optimum is not unique).
SOLVED = {
    "optimal": ({}, None, {
        "pulp4": ("Optimal", 4.0, math.nan), "linopy": ("ok/optimal", 4.0, math.nan),
        "scipy": ("0 Optimization terminated successfully.", -4.0, math.nan)}),
    "infeasible": ({"status": 2, "has_sol": 0}, None, {
        "pulp4": ("Infeasible", None, None), "linopy": ("warning/infeasible", None, None),
        "scipy": ("2 The problem is infeasible.", None, None)}),
    "unbounded": ({"status": 3, "has_sol": 0}, None, {
        "pulp4": ("Unbounded", None, None), "linopy": ("warning/unbounded", None, None),
        "scipy": ("3 The problem is unbounded.", None, None)}),
    "stopped-with-solution": ({"status": 8, "has_sol": 1, "solution": [1.0, 2.0], "obj_val": 3.0}, 100.0, {
        "pulp4": ("Stopped", 3.0, 1.0), "linopy": ("ok/terminated_by_limit", 3.0, 1.0),
        "scipy": ("4 The solver stopped early with a feasible solution.", 3.0, 1.0)}),
    "time-limit-with-solution": ({"status": 8, "has_sol": 1, "solution": [1.0, 2.0], "obj_val": 3.0}, 0.0, {
        "pulp4": ("TimeLimit", 3.0, 1.0), "linopy": ("ok/time_limit", 3.0, 1.0),
        "scipy": ("1 Time limit reached.", 3.0, 1.0)}),
    "no-outcome": ({"status": 4, "has_sol": 0}, 100.0, {
        "pulp4": ("Undefined", None, None), "linopy": ("unknown/unknown", None, None),
        "scipy": ("4 The solver reached no definite outcome", None, None)}),
    "time-limit-without-solution": ({"status": 8, "has_sol": 0}, 0.0, {
        "pulp4": ("TimeLimit", None, None), "linopy": ("ok/time_limit", None, None),
        "scipy": ("1 Time limit reached.", None, None)}),
}


@pytest.mark.parametrize("layer", LAYERS)
@pytest.mark.parametrize("forced, time_limit, expected", SOLVED.values(), ids=SOLVED.keys())
def test_each_result_code_maps_to_the_layers_status(standin, layer, forced, time_limit, expected):
    run = LAYERS[layer](time_limit)
    next(run)()  # an earlier solve with a solution
    if forced:
        standin.force_result(**forced)
    status, objective, x = next(run)
    want_status, want_objective, want_x = expected[layer]
    assert status.startswith(want_status)
    assert objective == (None if want_objective is None else pytest.approx(want_objective))
    assert_value(x, want_x)
    assert time_limits(standin)[-1:] == ([] if time_limit is None else [time_limit])


@pytest.mark.parametrize("layer, infeasible", [("pulp4", "Infeasible"), ("linopy", "warning/infeasible"),
                                               ("scipy", "2 The problem is infeasible.")])
def test_crossed_bounds_are_infeasible_without_a_solve(standin, layer, infeasible):
    run = LAYERS[layer](lower=5.0)
    next(run)()  # the earlier solve
    solved = len(standin.calls("COPT_Solve"))
    status, objective, x = next(run)
    assert (status.startswith(infeasible), objective, x) == (True, None, None)
    assert len(standin.calls("COPT_Solve")) == solved


@pytest.mark.parametrize("layer, key, option, status", [
    ("pulp4", "pulp.warmStart", {"warmStart": True}, "Optimal"),
    ("linopy", "linopy.warmstart_fn", {"warmstart_fn": "start.bas"}, "ok/optimal"),
    ("scipy", "scipy.presolve", {"presolve": False}, "0 "),
])
def test_hints_are_accepted_with_one_warning(standin, layer, key, option, status):
    runs = [LAYERS[layer](**option) for _ in range(2)]
    for run in runs:
        next(run)  # the layer imported, or the test skipped where it is not installed
    _core._warned.discard(key)
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        for run in runs:
            assert next(run)[0].startswith(status)
    assert [str(w.message) for w in caught] == [f"{'BRENLOX_COPT' if layer == 'pulp4' else 'brenlox_copt'} ignores "
                                                f"{key.partition('.')[2]}" + str(caught[0].message).partition(
                                                    key.partition('.')[2])[2]]
    assert caught[0].filename == __file__


def _linopy_model(kind):
    linopy = pytest.importorskip("linopy")
    import pandas as pd

    from brenlox_copt_modelling.linopy import solve

    m = linopy.Model()
    i = pd.RangeIndex(2, name="i")
    x = m.add_variables(lower=1 if kind == "semi" else 0, upper=3, coords=[i], name="x",
                        semi_continuous=kind == "semi")
    m.add_constraints(x.sum() <= 4, name="cap")
    m.add_objective((x * x).sum() if kind == "quadratic" else x.sum(), sense="max")
    if kind == "sos":
        m.add_sos_constraints(x, sos_type=1, sos_dim="i")
    if kind == "indicator":
        on = m.add_variables(name="on", binary=True)
        m.add_indicator_constraints(on, 1, x.sum(), "<=", 1, name="switch")
    return lambda **options: solve(m, silent=True, **options)


def _scipy_call(**kwargs):
    pytest.importorskip("scipy")
    from brenlox_copt_modelling.scipy import milp

    return lambda: milp([-1, -1], bounds=(0, 3), constraints=([[1, 1]], -math.inf, 4), **kwargs)


UNKNOWN = {"NoSuchParameter": 1}
SOLVER_REFUSES = "COPT error in COPT_SetIntParam(Raw): code 8"


def _pulp4_unknown():
    run = _pulp4(**UNKNOWN)
    next(run)
    try:
        next(run)
    except Exception as error:  # PulpSolverError, PuLP's own kind
        assert type(error).__name__ == "PulpSolverError"
        raise RuntimeError(str(error)) from error


@pytest.mark.parametrize("action, message", [
    (lambda: _linopy_model("quadratic")(), "the objective has quadratic terms"),
    (lambda: _linopy_model("sos")(), "cannot solve SOS constraints"),
    (lambda: _linopy_model("semi")(), "cannot solve semi-continuous variables: found x"),
    (lambda: _linopy_model("indicator")(), "cannot solve indicator constraints: found switch"),
    (lambda: _linopy_model("linear")(io_api="lp"), "does not support io_api"),
    (lambda: _linopy_model("linear")(**UNKNOWN), SOLVER_REFUSES),
    (lambda: _scipy_call(integrality=[0, 2])(), "semi-continuous or semi-integer variables (integrality 2 or 3): "
                                                "found at indices [1]"),
    (lambda: _scipy_call(options={"node_limit": 10})(), "does not support the option node_limit"),
    (lambda: _scipy_call(options=UNKNOWN)(), SOLVER_REFUSES),
    (_pulp4_unknown, SOLVER_REFUSES),
], ids=["linopy-quadratic", "linopy-sos", "linopy-semi-continuous", "linopy-indicator", "linopy-io-api",
        "linopy-unknown-parameter", "scipy-semi-continuous", "scipy-node-limit", "scipy-unknown-parameter",
        "pulp4-unknown-parameter"])
def test_what_the_module_cannot_do_is_refused_by_name(standin, action, message):
    with pytest.raises((ValueError, RuntimeError)) as raised:
        action()
    assert message in str(raised.value)
    assert standin.calls("COPT_Solve") == []
