"""Model.set_objective on the stand-in solver: the three calls that replace the objective, the refusals, the partial
outcome of a failing call; and a whole model built from Python as the solver sees it."""

import math

import pytest

import brenlox_copt

INF, NAN = math.inf, math.nan
OBJECTIVE_CALLS = ("COPT_SetColObj", "COPT_SetObjConst", "COPT_SetObjSense")
CODE_6_TEXT = "an argument value is invalid (type, bound, coefficient, constant or sense)"


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


@pytest.fixture
def model(standin):
    """A fresh model with three variables on the stand-in, the log cleared after its set-up."""
    model = brenlox_copt.Model()
    assert model.add_variables(3) == [0, 1, 2]
    standin.reset()
    return model


def objective_of(standin):
    """The objective as the solver holds it: coefficients by column, constant, sense."""
    problem = standin.problem()
    return [column.objective for column in problem.columns], problem.objective_constant, problem.objective_sense


def notes(error):
    return getattr(error, "__notes__", [])


# What reaches the solver -------------------------------------------------------------------------------------------


def test_the_whole_objective_is_sent_in_three_calls(standin, model):
    assert model.set_objective([0, 2, 0], [2.0, 1.5, 3], 4.0, 1) is None
    assert standin.calls() == [
        ("COPT_SetColObj", ("prob1", 3, [0, 1, 2], [5.0, 0.0, 1.5])),
        ("COPT_SetObjConst", ("prob1", 4.0)),
        ("COPT_SetObjSense", ("prob1", -1)),
    ]
    assert objective_of(standin) == ([5.0, 0.0, 1.5], 4.0, -1)


@pytest.mark.parametrize(
    "coefficients, total",
    [
        ([0.1, 0.2, 0.3], 0.6000000000000001),  # (0.1 + 0.2) + 0.3
        ([0.3, 0.2, 0.1], 0.6),  # (0.3 + 0.2) + 0.1
        ([1e308, -1e308, 1e308], 1e308),
        ([1.0, -1.0], 0.0),
    ],
)
def test_repeated_variables_are_summed_in_term_order(standin, model, coefficients, total):
    model.set_objective([1] * len(coefficients), coefficients, 0.0, 0)
    assert standin.calls("COPT_SetColObj") == [("COPT_SetColObj", ("prob1", 3, [0, 1, 2], [0.0, total, 0.0]))]


def test_a_new_objective_replaces_the_earlier_one_whole(standin, model):
    model.set_objective([0, 1], [1.0, 2.0], 1.0, 1)
    model.set_objective([1], [3.0], 0.0, 0)
    assert objective_of(standin) == ([0.0, 3.0, 0.0], 0.0, 1)
    model.set_objective([], [], -2.5, 1)
    assert standin.calls()[-3:] == [
        ("COPT_SetColObj", ("prob1", 3, [0, 1, 2], [0.0, 0.0, 0.0])),
        ("COPT_SetObjConst", ("prob1", -2.5)),
        ("COPT_SetObjSense", ("prob1", -1)),
    ]
    assert objective_of(standin) == ([0.0, 0.0, 0.0], -2.5, -1)


def test_a_model_without_variables_gets_only_the_constant_and_the_sense(standin):
    model = brenlox_copt.Model()
    standin.reset()
    model.set_objective(range(0), (), 1.5, 1)
    assert standin.calls() == [("COPT_SetObjConst", ("prob1", 1.5)), ("COPT_SetObjSense", ("prob1", -1))]
    with pytest.raises(RuntimeError) as caught:
        model.set_objective([0], [1.0], 0.0, 1)
    assert str(caught.value) == "Invalid variable index: 0"


@pytest.mark.parametrize(
    "sense, native",
    [
        (1, -1),
        (True, -1),
        (Index(1), -1),
        (0, 1),
        (False, 1),
        (-1, 1),
        (2, 1),
        (2**31 - 1, 1),
        (-(2**31), 1),
    ],
)
def test_only_the_integer_1_maximizes(standin, model, sense, native):
    model.set_objective([], [], 0.0, sense)
    assert standin.calls("COPT_SetObjSense") == [("COPT_SetObjSense", ("prob1", native))]


# Refusals ----------------------------------------------------------------------------------------------------------


@pytest.fixture
def solved(model, standin):
    """The model maximising x0 + 2 x1 + 1 under x0 + x1 <= 4, solved (x1 = 4), the log cleared."""
    model.add_constraint([0, 1], [1.0, 1.0], 0.0, "<", 4.0)
    model.set_objective([0, 1], [1.0, 2.0], 1.0, 1)
    assert model.optimize() == 1
    assert model.get_objective_value() == 9.0
    standin.reset()
    return model


SOLVED_OBJECTIVE = ([1.0, 2.0, 0.0], 1.0, -1)

# (arguments of set_objective, exception type, message or None for the interpreter's own, parameter of the note)
REFUSALS = {
    "coefficient count": (([0, 1], [1.0], 0.0, 1), ValueError, "objective coefficients has length 1, expected 2"),
    "more coefficients than variables": (
        ([0], [1.0, 2.0], 0.0, 1), ValueError, "objective coefficients has length 2, expected 1",
    ),
    "sense 'max'": (([0], [1.0], 0.0, "max"), TypeError, None, "sense"),
    "sense 2**40": (([0], [1.0], 0.0, 2**40), OverflowError, None, "sense"),
    "sense below the 32-bit range": (([0], [1.0], 0.0, -(2**31) - 1), OverflowError, None, "sense"),
    "sense 2**32 + 1, not wrapped round to 1": (([0], [1.0], 0.0, 2**32 + 1), OverflowError, None, "sense"),
    "sense 1.0": (([0], [1.0], 0.0, 1.0), TypeError, None, "sense"),
    "NaN constant, before the terms": (
        ([9], [INF], NAN, 1), RuntimeError, "Invalid input: objective constant must be finite, got NaN",
    ),
    "infinite constant": (([], [], INF, 1), RuntimeError, "Invalid input: objective constant must be finite, got inf"),
    "missing variable, before its coefficient": (
        ([0, 3], [1.0, NAN], 0.0, 1), RuntimeError, "Invalid variable index: 3",
    ),
    "NaN coefficient, before a later missing variable": (
        ([1, 7], [NAN, 1.0], 0.0, 1), RuntimeError, "Invalid input: objective coefficient must be finite, got NaN",
    ),
    "infinite coefficient": (
        ([2], [-INF], 0.0, 1), RuntimeError, "Invalid input: objective coefficient must be finite, got -inf",
    ),
    "sum overflow": (
        ([0, 0], [1e308, 1e308], 0.0, 1),
        RuntimeError, "Invalid input: summed objective coefficient must be finite, got inf",
    ),
    "sum overflow checked after each term": (
        ([2, 2, 2], [-1e308, -1e308, 1e308], 0.0, 1),
        RuntimeError, "Invalid input: summed objective coefficient must be finite, got -inf",
    ),
}  # fmt: skip


@pytest.mark.parametrize("case", REFUSALS.values(), ids=REFUSALS.keys())
def test_a_refused_objective_sends_nothing_and_keeps_everything(standin, solved, case):
    arguments, exception_type, message, parameter = (*case, None)[:4]
    with pytest.raises(exception_type) as caught:
        solved.set_objective(*arguments)
    assert type(caught.value) is exception_type
    if message is not None:
        assert str(caught.value) == message
    assert notes(caught.value) == ([f"while processing '{parameter}'"] if parameter else [])
    assert standin.calls() == []
    assert objective_of(standin) == SOLVED_OBJECTIVE
    assert solved.get_objective_value() == 9.0


# The results are kept while the problem is as it was solved, and cleared once it has taken a part of the new objective.
@pytest.mark.parametrize(
    "failing, made, left, results",
    [
        ("COPT_SetColObj", 1, SOLVED_OBJECTIVE, (9.0, 4.0)),
        ("COPT_SetObjConst", 2, ([-1.0, 0.0, 5.0], 1.0, -1), (None, None)),
        ("COPT_SetObjSense", 3, ([-1.0, 0.0, 5.0], 3.0, -1), (None, None)),
    ],
)
def test_a_failing_call_stops_the_sequence_and_undoes_nothing(standin, solved, failing, made, left, results):
    standin.fail(failing, 6)
    with pytest.raises(RuntimeError) as caught:
        solved.set_objective([2, 0], [5.0, -1.0], 3.0, 0)
    assert str(caught.value) == f"COPT error in {failing}: code 6: {CODE_6_TEXT}"
    assert [call.name for call in standin.calls(*OBJECTIVE_CALLS)] == list(OBJECTIVE_CALLS[:made])
    assert objective_of(standin) == left
    assert (solved.get_objective_value(), solved.get_var_value(1)) == results

    solved.set_objective([2, 0], [5.0, -1.0], 3.0, 0)
    assert objective_of(standin) == ([-1.0, 0.0, 5.0], 3.0, 1)
    assert (solved.get_objective_value(), solved.get_var_value(1)) == (None, None)


@pytest.mark.parametrize("failing, results", [("COPT_SetObjConst", 4.0), ("COPT_SetObjSense", None)])
def test_without_variables_the_results_go_once_the_constant_is_taken(standin, failing, results):
    model = brenlox_copt.Model()
    model.set_objective([], [], 4.0, 1)
    assert model.optimize() == 1
    standin.fail(failing, 6)
    with pytest.raises(RuntimeError):
        model.set_objective([], [], 7.0, 1)
    assert model.get_objective_value() == results


# A whole model -----------------------------------------------------------------------------------------------------


def test_a_model_built_from_python_is_what_the_solver_holds(standin):
    model = brenlox_copt.Model(name="plan")
    assert model.add_variable() == 0
    assert model.add_variable("y", "I", -5, 5.5) == 1
    assert model.add_variables(3, ["a", "b", "c"], ["B", "C", "I"], [0, -INF, 1], [1, 0, INF]) == [2, 3, 4]
    assert model.add_constraints(
        [[0, 1], (2, 3, 4)], [[1, 1], [1.0, -1.0, 2.0]], [0, 1], ["<", ">"], [10, 0], ["cap", "mix"]
    ) == [0, 1]
    assert model.add_constraint([1, 4, 1], [2, -1, 0.5], -2, "=", 3) == 2
    assert model.add_constraints([[4], []], [[1], []], [0, 0], [">", "<"], [-INF, 7]) == [3, 4]
    model.set_objective([0, 1, 2, 0], [1, 2, 3, 4], 0.5, 1)

    problem = standin.problem()
    Column, Row = standin.Column, standin.Row
    assert problem.columns == [
        Column("x0", "C", 0.0, 1e30, 5.0),
        Column("y", "I", -5.0, 5.5, 2.0),
        Column("a", "B", 0.0, 1.0, 3.0),
        Column("b", "C", -1e30, 0.0, 0.0),
        Column("c", "I", 1.0, 1e30, 0.0),
    ]
    assert problem.rows == [
        Row("cap", -1e30, 10.0, [(0, 1.0), (1, 1.0)]),
        Row("mix", -1.0, 1e30, [(2, 1.0), (3, -1.0), (4, 2.0)]),
        Row("c2", 5.0, 5.0, [(1, 2.0), (4, -1.0), (1, 0.5)]),
        Row("c3", -1e30, 1e30, [(4, 1.0)]),
        Row("c4", -1e30, 7.0, []),
    ]
    assert (problem.objective_constant, problem.objective_sense) == (0.5, -1)
