"""Model.get_var_value and Model.get_objective_value: the cached results of the last solve, what clears and what
keeps them, and the conversion of var_id."""

import math

import pytest

from support.models import fresh_model, solved_model
from support.numpy_or_skip import np

SOLUTION = [1.5, -0.0, 1e30]
OBJECTIVE = -2.25


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


def results(model):
    return [model.get_var_value(index) for index in range(len(SOLUTION))] + [model.get_objective_value()]


@pytest.fixture
def solved(standin):
    """Three variables solved to SOLUTION and OBJECTIVE; the log starts after the solve."""
    return solved_model(standin, SOLUTION, OBJECTIVE)


@pytest.mark.parametrize("variables", [0, 2])
def test_nothing_before_the_first_solve(standin, variables):
    model = fresh_model(variables)
    assert [model.get_var_value(0), model.get_var_value(10**6), model.get_objective_value()] == [None] * 3


def test_solved_values_are_the_solver_values_as_floats(standin, solved):
    values = results(solved)
    assert values == [*SOLUTION, OBJECTIVE]
    assert [type(value) for value in values] == [float] * 4
    assert math.copysign(1.0, values[1]) == -1.0
    assert standin.calls() == []  # reads look at the cache only


@pytest.mark.parametrize(
    "var_id, expected",
    [
        (True, -0.0),
        (np.uint64(2), 1e30),
        (Index(0), 1.5),
        (3, None),
        (10**6, None),
        (2**64 - 1, None),
    ],
)
def test_variable_id_at_or_beyond_the_solution_is_absent(solved, var_id, expected):
    assert solved.get_var_value(var_id) == expected
    assert solved.get_var_value(var_id=var_id) == expected


@pytest.mark.parametrize(
    "var_id, error_type",
    [(-1, OverflowError), (2**64, OverflowError), (Index(-1), OverflowError), (1.0, TypeError), ("0", TypeError),
     (None, TypeError)],
)
def test_variable_id_conversion_errors_carry_the_note(standin, solved, var_id, error_type):
    with pytest.raises(error_type) as caught:
        solved.get_var_value(var_id)
    assert type(caught.value) is error_type
    assert caught.value.__notes__ == ["while processing 'var_id'"]


def test_variable_id_is_required(solved):
    with pytest.raises(TypeError) as caught:
        solved.get_var_value()
    assert caught.value.args == ("Model.get_var_value() missing 1 required positional argument: 'var_id'",)


# What clears and what keeps the results -----------------------------------------------------------------------------


@pytest.mark.parametrize(
    "edit",
    [
        lambda model: model.add_variable(),
        lambda model: model.add_variables(2),
        lambda model: model.add_constraint([0], [1.0], 0.0, "<", 1.0),
        lambda model: model.add_constraint([], [], 0.0, ">", -1.0),
        lambda model: model.add_constraints([[0], [1]], [[1.0], [1.0]], [0.0, 0.0], ["<", "="], [1.0, 0.0]),
        lambda model: model.set_objective([], [], 0.0, 0),
        lambda model: model.set_objective([0], [1.0], 5.0, 1),
    ],
)
def test_edit_reaching_the_solver_clears_the_results(solved, edit):
    edit(solved)
    assert results(solved) == [None] * 4


def fail_then(entry_point, edit):
    def run(model, standin):
        standin.fail(entry_point, 15)
        edit(model)

    return run


@pytest.mark.parametrize(
    "action, error_type",
    [
        (lambda model, standin: model.add_variables(0), None),
        (lambda model, standin: model.add_constraints([], [], [], [], []), None),
        (lambda model, standin: model.update(), None),
        (lambda model, standin: model.set_optimizer_attr("Silent", False), None),
        (lambda model, standin: model.set_optimizer_attr("RelGap", 0.1), None),
        (lambda model, standin: model.set_optimizer_attr("TimeLimit", -1.0), RuntimeError),
        (lambda model, standin: model.add_variable(lb=math.nan), RuntimeError),
        (lambda model, standin: model.add_constraint([7], [1.0], 0.0, "<", 1.0), RuntimeError),
        (lambda model, standin: model.add_constraint([0], [1.0], 0.0, "?", 1.0), ValueError),
        (lambda model, standin: model.set_objective([0], [1.0], 0.0, 2**31), OverflowError),
        (fail_then("COPT_AddCols", lambda model: model.add_variable()), RuntimeError),
        (fail_then("COPT_AddRows", lambda model: model.add_constraint([0], [1.0], 0.0, "<", 1.0)), RuntimeError),
        (fail_then("COPT_SetColObj", lambda model: model.set_objective([0], [1.0], 5.0, 1)), RuntimeError),
    ],
)
def test_other_actions_and_failed_edits_keep_the_results(standin, solved, action, error_type):
    if error_type is None:
        action(solved, standin)
    else:
        with pytest.raises(error_type):
            action(solved, standin)
    assert results(solved) == [*SOLUTION, OBJECTIVE]
    assert solved.get_var_value(len(SOLUTION)) is None  # nothing grows into the solution


# The solver has taken the new coefficients (and the constant) when the later call fails: the problem changed.
@pytest.mark.parametrize("entry_point", ["COPT_SetObjConst", "COPT_SetObjSense"])
def test_objective_failing_after_its_coefficients_were_taken_clears_the_results(standin, solved, entry_point):
    with pytest.raises(RuntimeError):
        fail_then(entry_point, lambda model: model.set_objective([0], [1.0], 5.0, 1))(solved, standin)
    assert results(solved) == [None] * 4
