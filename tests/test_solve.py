"""Model.optimize and Model.update: the calls of a solve in order, the status mapping with and without a solution,
failures of every call, and real LPs and MIPs solved on the stand-in."""

import random

import pytest

from support.models import fresh_model

SOLVE = ("COPT_Solve", ("prob1",))
STATUS = ("COPT_GetIntAttr", ("prob1", "Status", [0]))
HAS_SOL = ("COPT_GetIntAttr", ("prob1", "HasSol", [0]))
IS_MIP = ("COPT_GetIntAttr", ("prob1", "IsMIP", [0]))
OBJ_VAL = ("COPT_GetDblAttr", ("prob1", "ObjVal", [0.0]))
ENGINE_FAILED = "code 15: the engine failed"


def get_solution(standin):
    return ("COPT_GetSolution", ("prob1", standin.OUT))


def get_lp_solution(standin):
    return ("COPT_GetLpSolution", ("prob1", standin.OUT, None, None, None))


def results(model, count=2):
    """Every cached value: the variables' then the objective's."""
    return [model.get_var_value(index) for index in range(count)] + [model.get_objective_value()]


ABSENT = [None, None, None]


@pytest.fixture
def model(standin):
    """Two continuous variables, nothing else; the log starts after construction."""
    model = fresh_model(2)
    standin.reset()
    return model


# The status mapping --------------------------------------------------------------------------------------------------

OTHER_STATUSES = [0, 4, 5, 9, 13, 14, 15, 19, 22, 23, 100, -1, -(2**31), 2**31 - 1]


@pytest.mark.parametrize(
    "status, without_solution, with_solution",
    [
        (1, 1, 1),
        (2, 2, 2),
        (3, 3, 3),
        (6, 0, 4),
        (7, 0, 4),
        (8, 0, 4),
        (10, 0, 4),
        (11, 0, 4),
        (12, 0, 4),
        (20, 1, 1),
        (21, 2, 2),
        *[(status, 0, 0) for status in OTHER_STATUSES],
    ],
)
def test_status_maps_to_a_result_code(standin, model, status, without_solution, with_solution):
    standin.force_result(status=status, has_sol=1, solution=[2.5, -1.0], obj_val=7.25)
    code = model.optimize()
    assert code == with_solution and type(code) is int
    # Whatever the status, a solution at hand is cached.
    assert results(model) == [2.5, -1.0, 7.25]

    standin.force_result(status=status, has_sol=0)
    code = model.optimize()
    assert code == without_solution and type(code) is int
    assert results(model) == ABSENT


@pytest.mark.parametrize("has_sol", [2, -1, 2**31 - 1])
def test_any_nonzero_solution_flag_means_a_solution(standin, model, has_sol):
    standin.force_result(status=8, has_sol=has_sol, solution=[1.0, 2.0], obj_val=3.0)
    assert model.optimize() == 4
    assert results(model) == [1.0, 2.0, 3.0]


# The calls of a solve ------------------------------------------------------------------------------------------------


@pytest.mark.parametrize(
    "is_mip, solution_call",
    [(0, get_lp_solution), (1, get_solution), (2, get_solution), (-1, get_solution)],
)
def test_problem_kind_chooses_how_the_solution_is_read(standin, model, is_mip, solution_call):
    standin.force_result(is_mip=is_mip)
    assert model.optimize() == 1
    assert standin.calls() == [SOLVE, STATUS, HAS_SOL, IS_MIP, solution_call(standin), OBJ_VAL]


@pytest.mark.parametrize("status", [1, 2, 8, 0])
def test_without_a_solution_the_solve_stops_after_the_solution_flag(standin, model, status):
    standin.force_result(status=status, has_sol=0)
    model.optimize()
    assert standin.calls() == [SOLVE, STATUS, HAS_SOL]


def test_model_without_variables_reads_no_solution(standin):
    model = fresh_model()
    standin.reset()
    standin.force_result(status=1, has_sol=1, obj_val=4.5)
    assert model.optimize() == 1
    assert standin.calls() == [SOLVE, STATUS, HAS_SOL, IS_MIP, OBJ_VAL]
    assert model.get_objective_value() == 4.5
    assert model.get_var_value(0) is None


def test_second_solve_clears_the_first_results(standin, model):
    standin.force_result(status=1, has_sol=1, solution=[1.0, 2.0], obj_val=5.0)
    model.optimize()
    standin.force_result(status=2, has_sol=0)
    assert model.optimize() == 2
    assert results(model) == ABSENT


# Failures during a solve ---------------------------------------------------------------------------------------------


@pytest.mark.parametrize(
    "entry_point, nth, is_mip, position, message",
    [
        ("COPT_Solve", 1, 0, 0, f"COPT error in COPT_Solve: {ENGINE_FAILED}"),
        ("COPT_GetIntAttr", 1, 0, 1, f"COPT error in COPT_GetIntAttr(Status): {ENGINE_FAILED}"),
        ("COPT_GetIntAttr", 2, 0, 2, f"COPT error in COPT_GetIntAttr(HasSol): {ENGINE_FAILED}"),
        ("COPT_GetIntAttr", 3, 0, 3, f"COPT error in COPT_GetIntAttr(IsMIP): {ENGINE_FAILED}"),
        ("COPT_GetLpSolution", 1, 0, 4, f"COPT error in COPT_GetLpSolution: {ENGINE_FAILED}"),
        ("COPT_GetSolution", 1, 1, 4, f"COPT error in COPT_GetSolution: {ENGINE_FAILED}"),
        ("COPT_GetDblAttr", 1, 0, 5, f"COPT error in COPT_GetDblAttr(ObjVal): {ENGINE_FAILED}"),
    ],
)
def test_failed_call_ends_the_solve_without_results(standin, model, entry_point, nth, is_mip, position, message):
    standin.force_result(status=1, has_sol=1, solution=[1.0, 2.0], obj_val=5.0)
    model.optimize()
    standin.reset()

    standin.force_result(is_mip=is_mip)
    standin.fail(entry_point, 15, nth=nth)
    with pytest.raises(RuntimeError) as caught:
        model.optimize()
    assert type(caught.value) is RuntimeError and caught.value.args == (message,)
    assert results(model) == ABSENT  # not even the earlier solve's
    solution_call = get_solution(standin) if is_mip else get_lp_solution(standin)
    expected = [SOLVE, STATUS, HAS_SOL, IS_MIP, solution_call, OBJ_VAL][: position + 1]
    assert standin.calls() == [*expected, ("COPT_GetRetcodeMsg", (15, standin.OUT, 1000))]

    assert model.optimize() == 1  # the model is still usable
    assert results(model) == [0.0, 0.0, 0.0]


def test_failure_code_without_a_text(standin, model):
    standin.fail("COPT_GetIntAttr", -3)
    with pytest.raises(RuntimeError) as caught:
        model.optimize()
    assert caught.value.args == ("COPT error in COPT_GetIntAttr(Status): code -3",)


# update and argument-less methods ------------------------------------------------------------------------------------


def test_update_reaches_the_solver_and_keeps_the_results(standin, model):
    standin.force_result(status=1, has_sol=1, solution=[1.0, 2.0], obj_val=5.0)
    model.optimize()
    standin.reset()
    assert model.update() is None
    assert standin.calls() == [("COPT_Update", ("prob1",))]
    assert results(model) == [1.0, 2.0, 5.0]

    standin.fail("COPT_Update", 15)
    with pytest.raises(RuntimeError) as caught:
        model.update()
    assert caught.value.args == (f"COPT error in COPT_Update: {ENGINE_FAILED}",)
    assert results(model) == [1.0, 2.0, 5.0]


@pytest.mark.parametrize("method", ["optimize", "update", "get_objective_value"])
@pytest.mark.parametrize("args, kwargs", [((1,), {}), ((), {"x": 1})])
def test_methods_without_parameters_refuse_arguments(standin, model, method, args, kwargs):
    # The interpreter refuses them itself, in the words it uses for its own methods of that kind.
    with pytest.raises(TypeError) as expected:
        [].clear(*args, **kwargs)
    with pytest.raises(TypeError) as caught:
        getattr(model, method)(*args, **kwargs)
    assert str(caught.value) == str(expected.value).replace("list.clear", f"Model.{method}")
    assert standin.calls() == []


# Real solves ---------------------------------------------------------------------------------------------------------


def new_model(*columns):
    """A model with the given (vtype, lb, ub) columns."""
    model = fresh_model()
    for vtype, lb, ub in columns:
        model.add_variable(vtype=vtype, lb=lb, ub=ub)
    return model


def test_lp_reaches_its_optimum(standin):
    # max 3x + 5y, x <= 4, 2y <= 12, 3x + 2y <= 18: optimum at (2, 6) with 36.
    model = new_model(("C", 0.0, None), ("C", 0.0, None))
    model.add_constraints([[0], [1], [0, 1]], [[1.0], [2.0], [3.0, 2.0]], [0.0] * 3, ["<"] * 3, [4.0, 12.0, 18.0])
    model.set_objective([0, 1], [3.0, 5.0], 0.0, 1)
    standin.reset()
    assert model.optimize() == 1
    assert results(model) == pytest.approx([2.0, 6.0, 36.0], abs=1e-9)
    assert [type(value) for value in results(model)] == [float] * 3
    assert standin.calls("COPT_GetSolution", "COPT_GetLpSolution") == [get_lp_solution(standin)]


def test_mip_reaches_its_optimum(standin):
    values, weights = [10, 13, 19, 31, 7, 15], [11, 15, 20, 35, 10, 33]
    model = new_model(*[("B", None, None)] * 6)
    model.add_constraint(range(6), weights, 0.0, "<", 47)
    model.set_objective(range(6), values, 0.5, 1)
    standin.reset()
    assert model.optimize() == 1
    assert results(model, 6) == pytest.approx([1, 1, 1, 0, 0, 0, 42.5], abs=1e-9)
    assert standin.calls("COPT_GetSolution", "COPT_GetLpSolution") == [get_solution(standin)]


@pytest.mark.parametrize("vtype, expected", [("C", 2), ("I", 2)])
def test_infeasible_model(standin, vtype, expected):
    model = new_model((vtype, 0.0, None), (vtype, 0.0, None))
    model.add_constraint([0, 1], [1.0, 1.0], 0.0, ">", 5.0)
    model.add_constraint([0, 1], [1.0, 1.0], 0.0, "<", 3.0)
    standin.reset()
    assert model.optimize() == expected
    assert results(model) == ABSENT
    assert standin.calls() == [SOLVE, STATUS, HAS_SOL]


@pytest.mark.parametrize("vtype, expected", [("C", 3), ("I", 0)])  # an unbounded MIP is "infeasible or unbounded"
def test_unbounded_model(standin, vtype, expected):
    model = new_model((vtype, 0.0, None), (vtype, 0.0, None))
    model.add_constraint([0, 1], [1.0, -1.0], 0.0, "<", 1.0)
    model.set_objective([0, 1], [1.0, 1.0], 0.0, 1)
    assert model.optimize() == expected
    assert results(model) == ABSENT


def hard_mip(size=200, rows=20, seed=7):
    """A multi-dimensional knapsack that branch and bound takes seconds to close; returns the model, its rows as
    (weights, capacity) and its profits."""
    generator = random.Random(seed)
    model = new_model(*[("B", None, None)] * size)
    constraints = []
    for _ in range(rows):
        weights = [generator.randint(20, 100) for _ in range(size)]
        constraints.append((weights, sum(weights) // 2))
        model.add_constraint(range(size), weights, 0.0, "<", sum(weights) // 2)
    profits = [generator.randint(10, 60) for _ in range(size)]
    model.set_objective(range(size), profits, 0.0, 1)
    return model, constraints, profits


@pytest.mark.parametrize("time_limit", [0.0, 0.05])
def test_time_limited_mip_stops_consistently_with_its_solution(standin, time_limit):
    model, constraints, profits = hard_mip()
    model.set_optimizer_attr("TimeLimit", time_limit)
    code = model.optimize()
    assert code in (0, 4)
    values = [model.get_var_value(index) for index in range(len(profits))]
    objective = model.get_objective_value()
    if code == 0:
        assert values == [None] * len(profits) and objective is None
        return
    # The solution at hand is the solver's incumbent: integral, feasible and worth the objective value.
    chosen = [round(value) for value in values]
    assert values == pytest.approx(chosen, abs=1e-6) and set(chosen) <= {0, 1}
    assert all(sum(w * x for w, x in zip(weights, chosen)) <= capacity for weights, capacity in constraints)
    assert objective == pytest.approx(sum(p * x for p, x in zip(profits, chosen)))
