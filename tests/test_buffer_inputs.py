"""Arrays (NumPy, array.array, bytes) as sequence arguments: read from their buffers where the format allows, with
exactly the results and the errors of the same values given as a list."""

import array
import math

import pytest

import brenlox_copt
from support.numpy_or_skip import np


def outcome(standin, call):
    """What a call on a fresh three-variable model did: its result and the problem the solver holds, or its error
    (type, message and notes)."""
    model = brenlox_copt.Model()
    model.add_variables(3)
    try:
        result = call(model)
    except Exception as error:  # noqa: BLE001 - the error is the outcome compared
        return ("error", type(error), str(error), getattr(error, "__notes__", None))
    problem = standin.problem()
    return ("ok", result, problem.columns, problem.rows)


def as_list(value):
    """The same values as a list (rows of arrays: a list of lists)."""
    if isinstance(value, list):
        return [as_list(item) for item in value]
    if isinstance(value, bytes):
        return list(value)
    return value.tolist()


CONSTRAINT_ARGUMENTS = {
    "float64 coefficients, int64 ids": (np.array([0, 2]), np.array([1.5, -2.25])),
    "int32 and uint8 ids": (np.array([2, 1], dtype=np.int32), np.array([1.0, 2.0])),
    "uint8 ids": (np.array([1, 0], dtype=np.uint8), np.array([1.0, 2.0])),
    "uint64 ids": (np.array([1, 0], dtype=np.uint64), np.array([1.0, 2.0])),
    "array.array ids and coefficients": (array.array("q", [0, 1]), array.array("d", [3.0, 4.0])),
    "bytes ids": (b"\x02\x00", np.array([1.0, 2.0])),
    "empty arrays": (np.array([], dtype=np.int64), np.array([], dtype=np.float64)),
    "negative id": (np.array([0, -1]), np.array([1.0, 2.0])),
    "negative int8 id": (np.array([-5], dtype=np.int8), np.array([1.0])),
    "id of a missing variable": (np.array([0, 3]), np.array([1.0, 2.0])),
    "NaN coefficient": (np.array([0, 1]), np.array([1.0, math.nan])),
    "infinite coefficient": (np.array([0, 1]), np.array([math.inf, 1.0])),
    "lengths differ": (np.array([0, 1]), np.array([1.0])),
}

# Formats and shapes without a fast path: their items (NumPy scalars, rows) are converted one by one, as before.
ITEM_BY_ITEM = {
    "float32 coefficients": (np.array([0, 1]), np.array([0.1, 2.0], dtype=np.float32)),
    "float ids": (np.array([0.0, 1.0]), np.array([1.0, 2.0])),
    "bool ids": (np.array([True, False]), np.array([1.0, 2.0])),
    "big-endian coefficients": (np.array([0, 1]), np.array([1.0, 2.0], dtype=">f8")),
    "strided ids": (np.array([0, 9, 1, 9])[::2], np.array([1.0, 2.0])),
    "two-dimensional ids": (np.array([[0, 1]]), np.array([1.0])),
}


def add_constraint(variables, coefficients):
    return lambda model: model.add_constraint(variables, coefficients, 0.5, "<", 4.0)


@pytest.mark.parametrize("variables, coefficients", CONSTRAINT_ARGUMENTS.values(), ids=CONSTRAINT_ARGUMENTS.keys())
def test_add_constraint_takes_arrays_as_their_lists(standin, variables, coefficients):
    expected = outcome(standin, add_constraint(as_list(variables), as_list(coefficients)))
    assert outcome(standin, add_constraint(variables, coefficients)) == expected


@pytest.mark.parametrize("variables, coefficients", ITEM_BY_ITEM.values(), ids=ITEM_BY_ITEM.keys())
def test_other_arrays_convert_item_by_item(standin, variables, coefficients):
    expected = outcome(standin, add_constraint(list(variables), list(coefficients)))
    assert outcome(standin, add_constraint(variables, coefficients)) == expected


BOUNDS = {
    "bounds": (np.array([0.0, -1.0, 2.0]), np.array([1.0, math.inf, 2.0])),
    "NaN lower bound": (np.array([0.0, math.nan, 0.0]), np.array([1.0, 1.0, 1.0])),
    "lower above upper": (np.array([0.0, 5.0, 0.0]), np.array([1.0, 1.0, 1.0])),
    "too few": (np.array([0.0]), np.array([1.0, 1.0, 1.0])),
    "integer bounds": (np.array([0, 1, 2]), np.array([5, 5, 5])),
}


@pytest.mark.parametrize("lower, upper", BOUNDS.values(), ids=BOUNDS.keys())
def test_add_variables_takes_arrays_as_their_lists(standin, lower, upper):
    def call(given_lower, given_upper):
        return lambda model: model.add_variables(3, lbs=given_lower, ubs=given_upper)

    assert outcome(standin, call(lower, upper)) == outcome(standin, call(as_list(lower), as_list(upper)))


ROWS = {
    "rows of arrays": ([np.array([0, 1]), np.array([2])], [np.array([1.0, 2.0]), np.array([3.0])]),
    "a row with a negative id": ([np.array([0]), np.array([1, -2])], [np.array([1.0]), np.array([1.0, 1.0])]),
    "a row whose lengths differ": ([np.array([0, 1]), np.array([2])], [np.array([1.0]), np.array([3.0])]),
    "a NaN in the second row": ([np.array([0]), np.array([1])], [np.array([1.0]), np.array([math.nan])]),
}


@pytest.mark.parametrize("fs_vars, fs_coeffs", ROWS.values(), ids=ROWS.keys())
def test_add_constraints_takes_rows_of_arrays_as_lists(standin, fs_vars, fs_coeffs):
    def call(given_vars, given_coeffs):
        return lambda model: model.add_constraints(given_vars, given_coeffs, np.array([0.0, 1.0]), ["<", ">"],
                                                   np.array([4.0, 0.0]))

    assert outcome(standin, call(fs_vars, fs_coeffs)) == outcome(standin, call(as_list(fs_vars), as_list(fs_coeffs)))
