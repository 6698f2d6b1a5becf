"""linopy models solved through brenlox_copt_modelling.linopy and, side by side, through linopy's HiGHS direct path:
status, termination condition, objective and every variable's solution agree (NaN where a label is masked). The
models: linopy's own examples (linopy.examples, the models of its docs) and a table of the cases that matter."""

import math

import pytest

linopy = pytest.importorskip("linopy")
pytest.importorskip("highspy")

import numpy as np  # noqa: E402
import pandas as pd  # noqa: E402
from linopy import examples  # noqa: E402

from brenlox_copt_modelling.linopy import solve  # noqa: E402


def _getting_started(integer=False):
    """The first model of linopy's docs, over ten time steps; with integer=True its MILP variant."""
    m = linopy.Model()
    time = pd.Index(range(10), name="time")
    x = m.add_variables(lower=0, coords=[time], name="x", integer=integer)
    y = m.add_variables(lower=0, coords=[time], name="y", integer=integer)
    factor = pd.Series(time, index=time)
    m.add_constraints(3 * x + 7 * y >= 10 * factor, name="con1")
    m.add_constraints(5 * x + 2 * y >= 3 * factor, name="con2")
    m.add_objective(x + 2 * y)
    return m


def _two(lower=(0, 0), upper=(3, 3), sense="max", integer=False, rows=("<=",), objective=(2.0, 1.0)):
    """x + y (row) 4, then x + y (row) 3, ..., over one 2-vector of variables."""
    m = linopy.Model()
    v = m.add_variables(lower=list(lower), upper=list(upper), coords=[pd.RangeIndex(2, name="i")], name="v",
                        integer=integer)
    for i, sign in enumerate(rows):
        m.add_constraints(v.sum(), sign, 4.0 - i, name=f"row{i}")
    m.add_objective((v * list(objective)).sum(), sense=sense)
    return m


def _masked_variables():
    m = linopy.Model()
    i = pd.RangeIndex(4, name="i")
    x = m.add_variables(lower=0, upper=10, coords=[i], name="x", mask=pd.Series([True, False, True, True], index=i))
    m.add_constraints(x.sum() >= 5, name="total")
    m.add_constraints(x <= pd.Series([1.0, 2.0, 3.0, 4.0], index=i), name="caps")
    m.add_objective((x * pd.Series([1.0, 1.0, 2.0, 3.0], index=i)).sum())
    return m


def _masked_constraints():
    m = linopy.Model()
    i = pd.RangeIndex(4, name="i")
    x = m.add_variables(lower=0, coords=[i], name="x")
    floor = pd.Series([1.0, 2.0, 3.0, 4.0], index=i)
    m.add_constraints(x >= floor, name="floor", mask=pd.Series([True, True, False, True], index=i))
    m.add_objective(x.sum())
    return m


def _nan_filled():
    """NaN bounds and right-hand sides with auto_mask: linopy masks those labels (-1), variables and rows alike."""
    m = linopy.Model(auto_mask=True)
    i = pd.RangeIndex(4, name="i")
    x = m.add_variables(lower=pd.Series([0.0, np.nan, 0.0, 0.0], index=i), upper=5, coords=[i], name="x")
    y = m.add_variables(lower=-2, upper=7, name="y")
    m.add_constraints(x + y >= pd.Series([1.0, 2.0, np.nan, 4.0], index=i), name="floor")
    m.add_objective(x.sum() + 2 * y)
    return m


def _where_masked():
    """A term dropped with .where() (label -1 inside an expression) and a row left with no term at all."""
    m = linopy.Model()
    i = pd.RangeIndex(3, name="i")
    x = m.add_variables(lower=0, upper=4, coords=[i], name="x")
    keep = pd.Series([True, False, True], index=i).to_xarray()
    m.add_constraints((1 * x).where(keep) >= 1, name="kept")
    m.add_objective(-x.sum())
    return m


def _free_and_fixed():
    m = linopy.Model()
    free = m.add_variables(name="free")
    fixed = m.add_variables(lower=2.5, upper=2.5, name="fixed")
    m.add_constraints(free - fixed >= 1, name="link")
    m.add_objective(free + fixed)
    return m


def _empty():
    """Variables and an objective, no constraints."""
    m = linopy.Model()
    x = m.add_variables(lower=-1, upper=2, coords=[pd.RangeIndex(3, name="i")], name="x")
    m.add_objective(x.sum())
    return m


def _binary_knapsack():
    m = linopy.Model()
    i = pd.RangeIndex(5, name="item")
    take = m.add_variables(coords=[i], name="take", binary=True)
    m.add_constraints((take * pd.Series([3.0, 4.0, 5.0, 8.0, 9.0], index=i)).sum() <= 20, name="weight")
    m.add_objective((take * pd.Series([2.0, 3.0, 4.0, 8.0, 10.0], index=i)).sum(), sense="max")
    return m


def _scaled():
    """Variables, rows and the objective with solver scaling: the solver works in scaled units, linopy reads back
    in the user's."""
    m = linopy.Model()
    i = pd.RangeIndex(3, name="i")
    x = m.add_variables(lower=0, upper=100, coords=[i], name="x", scaling=pd.Series([10.0, 0.5, 1.0], index=i))
    m.add_constraints(x.sum() >= 30, name="total", scaling=4.0)
    m.add_constraints(x <= pd.Series([5.0, 20.0, 8.0], index=i), name="caps", freeze=True)
    m.add_objective((x * pd.Series([1.0, 2.0, 3.0], index=i)).sum())
    m.objective.scaling = 0.25
    return m


MODELS = {
    "examples.simple_two_single_variables_model": examples.simple_two_single_variables_model,
    "examples.simple_two_array_variables_model": examples.simple_two_array_variables_model,
    "examples.benchmark_model": lambda: examples.benchmark_model(10),
    "examples.benchmark_model-integerlabels": lambda: examples.benchmark_model(6, integerlabels=True),
    "docs-getting-started": _getting_started,
    "docs-getting-started-integer": lambda: _getting_started(integer=True),
    "optimal": _two,
    "minimise": lambda: _two(sense="min", rows=(">=",)),
    "equality": lambda: _two(rows=("==",), objective=(1.0, 2.0)),
    "two-rows": lambda: _two(rows=("<=", "<="), objective=(2.0, 1.0)),
    "infeasible": lambda: _two(rows=(">=", "<="), lower=(2.5, 2.5)),
    "unbounded": lambda: _two(upper=(np.inf, np.inf), rows=(">=",)),
    "integer": lambda: _two(upper=(2.5, 2.5), integer=True, objective=(1.0, 1.5), rows=("<=",)),
    "integer-infeasible": lambda: _two(lower=(0.2, 0.2), upper=(0.8, 0.8), integer=True),
    "crossed-bounds": lambda: _two(lower=(5, 0), upper=(1, 3)),
    "binary-knapsack": _binary_knapsack,
    "empty": _empty,
    "free-and-fixed": _free_and_fixed,
    "scaled-and-frozen": _scaled,
    "masked-variables": _masked_variables,
    "masked-constraints": _masked_constraints,
    "nan-filled": _nan_filled,
    "where-masked": _where_masked,
}


# Models with more than one optimal point: the solvers may return different ones, so the values are checked for
# feasibility and objective rather than against HiGHS's.
ALTERNATE_OPTIMA = {"docs-getting-started-integer"}


def _outcome(m, status):
    """What a user reads after a solve: the statuses, the objective, each variable's solution."""
    objective = m.objective.value
    return (tuple(status), None if objective is None or math.isnan(objective) else objective,
            {name: _solution(var) for name, var in m.variables.items()})


def _solution(var):
    try:
        return var.solution.values
    except AttributeError:  # linopy's answer when the model holds no solution
        return None


def _check_feasible(m, objective):
    """The solution read back meets every bound, row and integrality, and gives the objective reported (the
    matrices are in the solver's scaled units, the solution in the user's)."""
    matrices, tol = m.matrices, 1e-6
    x = matrices.sol * matrices.var_scaling
    assert np.all(matrices.lb - tol <= x) and np.all(x <= matrices.ub + tol)
    integral = np.isin(matrices.vtypes, ["I", "B"])
    np.testing.assert_allclose(x[integral], np.round(x[integral]), atol=tol)
    if matrices.A is not None:
        activity, b = matrices.A @ x, matrices.b
        sense = matrices.sense
        assert np.all(activity[sense == "<"] <= b[sense == "<"] + tol)
        assert np.all(activity[sense == ">"] >= b[sense == ">"] - tol)
        np.testing.assert_allclose(activity[sense == "="], b[sense == "="], atol=tol)
    assert matrices.c @ x == pytest.approx(objective * m.objective.scaling, abs=tol)


@pytest.mark.parametrize("name, build", MODELS.items(), ids=MODELS.keys())
def test_linopy_model_solves_as_with_highs(name, build):
    theirs = build()
    expected = _outcome(theirs, theirs.solve(solver_name="highs", io_api="direct", output_flag=False))
    ours = build()
    got = _outcome(ours, solve(ours, silent=True))
    assert got[0] == expected[0]
    assert got[1] == (None if expected[1] is None else pytest.approx(expected[1], rel=1e-7, abs=1e-9))
    assert got[2].keys() == expected[2].keys()
    if got[1] is not None:
        _check_feasible(ours, got[1])
    if name in ALTERNATE_OPTIMA:
        return
    for variable, values in expected[2].items():
        if values is None or got[2][variable] is None:
            assert got[2][variable] is values is None, variable
            continue
        np.testing.assert_allclose(got[2][variable], values, rtol=1e-7, atol=1e-9, equal_nan=True, err_msg=variable)
