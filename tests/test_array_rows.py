"""add_constraints' rows given whole as two-dimensional arrays, or as lists of one-dimensional arrays: the same ids,
the same arrays at the solver and the same errors (type, message and notes) as the same values walked row by row and
item by item."""

import math

import pytest

import brenlox_copt
from support.numpy_or_skip import np

COLUMNS = 6


def ids(rows, dtype=np.int64):
    return np.array([[(3 * row + column) % COLUMNS for column in range(2)] for row in range(rows)], dtype=dtype)


def coefficients(rows, columns=2, dtype=np.float64):
    return np.array([[0.5 * row - column for column in range(columns)] for row in range(rows)], dtype=dtype)


def with_item(array, row, column, value):
    changed = array.copy()
    changed[row, column] = value
    return changed


INTEGER_TYPES = [np.int8, np.int16, np.int32, np.int64, np.uint8, np.uint16, np.uint32, np.uint64, np.intc,
                 np.longlong, np.intp]

# name: (ids, coefficients, whether the items are of a type read straight from memory). Every row has the same
# length, as a two-dimensional array needs; the reference is the same items walked one by one.
CASES = {
    **{f"{np.dtype(dtype).name} ids": (ids(3, dtype), coefficients(3), True) for dtype in INTEGER_TYPES},
    "no columns": (np.zeros((3, 0), dtype=np.int64), np.zeros((3, 0)), True),
    "no rows": (np.zeros((0, 2), dtype=np.int64), np.zeros((0, 2)), True),
    "more rows than one chunk of the reader": (ids(400), coefficients(400), True),
    "a negative id in the last chunk": (with_item(ids(400), 399, 1, -1), coefficients(400), True),
    "NaN and infinite coefficients": (ids(2), np.array([[math.nan, 1.0], [2.0, -math.inf]]), True),
    **{f"negative {np.dtype(dtype).name} id at ({row}, {column})": (
        with_item(ids(3, dtype), row, column, -1), coefficients(3), True)
       for dtype in (np.int8, np.int64) for row in range(3) for column in range(2)},
    **{f"id of a missing variable at ({row}, {column})": (
        with_item(ids(3), row, column, COLUMNS), coefficients(3), True) for row in range(3) for column in range(2)},
    "coefficients longer than their rows": (ids(3), coefficients(3, columns=3), True),
    # Formats without a fast path: their items (NumPy scalars) are converted one by one, as before.
    "float64 ids": (ids(3, np.float64), coefficients(3), False),
    "bool ids": (ids(3, np.bool_), coefficients(3), False),
    "big-endian ids": (ids(3, ">i8"), coefficients(3), True),
    "float32 coefficients": (ids(3), coefficients(3, dtype=np.float32), False),
    "int64 coefficients": (ids(3), coefficients(3, dtype=np.int64), True),
    "big-endian coefficients": (ids(3), coefficients(3, dtype=">f8"), True),
    "three-dimensional ids": (ids(3)[:, :, np.newaxis], coefficients(3), False),
}


def every_other_column(array):
    wide = np.zeros((array.shape[0], 2 * array.shape[1], *array.shape[2:]), dtype=array.dtype)
    wide[:, ::2] = array
    return wide[:, ::2]


def read_only(array):
    frozen = array.copy()
    frozen.flags.writeable = False
    return frozen


class PlainSubclass(np.ndarray):
    pass


# How the same items are given; each form is applied to both arguments unless it says otherwise.
FORMS = {
    "lists": lambda array: array.tolist(),
    "tuples of NumPy items": lambda array: tuple(tuple(row) for row in array),
    "2-D array": lambda array: array,
    "2-D array in Fortran order": np.asfortranarray,
    "2-D array of every other column": every_other_column,
    "2-D array with rows reversed twice": lambda array: array[::-1].copy()[::-1],
    "read-only 2-D array": read_only,
    "list of 1-D arrays": list,
    "list of strided 1-D arrays": lambda array: list(np.asfortranarray(array)),
    "list mixing lists and arrays": lambda array: [row.tolist() if index % 2 else row for index, row in
                                                   enumerate(array)],
    "2-D array subclass": lambda array: array.view(PlainSubclass),
    "masked 2-D array": np.ma.asarray,
}
MIXED = {
    "2-D ids, coefficients as lists": (lambda array: array, lambda array: array.tolist()),
    "ids as lists, 2-D coefficients": (lambda array: array.tolist(), lambda array: array),
}


def outcome(standin, fs_vars, fs_coeffs):
    """What add_constraints did on a fresh model: the ids and the problem the solver holds, or the error (type,
    message and notes)."""
    rows = len(fs_vars)
    model = brenlox_copt.Model()
    model.add_variables(COLUMNS)
    try:
        result = model.add_constraints(fs_vars, fs_coeffs, [0.0] * rows, ["<"] * rows, np.arange(float(rows)))
    except Exception as error:  # noqa: BLE001 - the error is the outcome compared
        return ("error", type(error), str(error), getattr(error, "__notes__", None))
    problem = standin.problem()
    return ("ok", result, problem.columns, problem.rows)


def one_by_one(array):
    """The row-by-row, item-by-item walk: the items as NumPy scalars in lists."""
    return [list(row) for row in array]


# Python's own numbers are not the items of a format without a fast path: their conversion errors name other types.
PAIRS = [pytest.param(case, form, make, id=f"{case}, {form}")
         for case, (_, _, plain) in CASES.items()
         for form, make in [*((name, (form, form)) for name, form in FORMS.items()), *MIXED.items()]
         if plain or "lists" not in form]


# NumPy booleans are converted as indexes, which newer NumPy deprecates (on both sides alike); 1.x calls them np.bool_.
@pytest.mark.filterwarnings(r"ignore:In future, it will be an error for 'np\.bool_?' scalars:DeprecationWarning")
@pytest.mark.parametrize("case, form, make", PAIRS)
def test_rows_convert_as_their_items_one_by_one(standin, case, form, make):
    variables, values, _ = CASES[case]
    expected = outcome(standin, one_by_one(variables), one_by_one(values))
    assert outcome(standin, make[0](variables), make[1](values)) == expected
