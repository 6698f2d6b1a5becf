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


class ShiftedIndexing(np.ndarray):
    """Its rows and their items, as indexing (and so iterating) gives them, are not its buffer's."""

    def __getitem__(self, index):
        return np.ndarray.__getitem__(self, index) + 1


def first_masked(array):
    return np.ma.array(array, mask=np.arange(array.size).reshape(array.shape) == 0)


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
# Subclasses whose iteration is not their buffer: the reference is walking the given object itself.
AS_ITERATED = {
    "2-D array subclass with its own __getitem__": lambda array: array.view(ShiftedIndexing),
    "masked 2-D array with an item masked": first_masked,
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


# NumPy booleans are converted as indexes, which newer NumPy deprecates (on both sides alike); 1.x calls them np.bool_.
@pytest.mark.filterwarnings("ignore:Warning. converting a masked element")
@pytest.mark.filterwarnings(r"ignore:In future, it will be an error for 'np\.bool_?' scalars:DeprecationWarning")
@pytest.mark.parametrize("case", CASES)
def test_rows_convert_as_their_items_one_by_one(standin, case):
    variables, values, plain = CASES[case]
    expected = outcome(standin, one_by_one(variables), one_by_one(values))
    forms = {**{name: (form, form) for name, form in FORMS.items()}, **MIXED}
    # Python's own numbers are not the items of a format without a fast path: their conversion errors name other types.
    differing = {name: got for name, (make_variables, make_values) in forms.items()
                 if (plain or "lists" not in name)
                 and (got := outcome(standin, make_variables(variables), make_values(values))) != expected}
    for name, form in AS_ITERATED.items():
        given_variables, given_values = form(variables), form(values)
        wanted = outcome(standin, one_by_one(given_variables), one_by_one(given_values))
        if (got := outcome(standin, given_variables, given_values)) != wanted:
            differing[name] = (got, wanted)
    assert differing == {}, f"expected {expected}"


@pytest.mark.parametrize("position", [0, 1])
def test_a_zero_dimensional_row_among_arrays_fails_as_iterating_it_does(standin, position):
    model = brenlox_copt.Model()
    model.add_variables(COLUMNS)
    # The first call makes the array type known, so the second measures its array rows up front.
    assert model.add_constraints([np.array([0, 1])], [np.array([1.0, 1.0])], [0.0], ["<"], [1.0]) == [0]
    rows = [np.array([0, 1]), np.array([0, 1])]
    rows[position] = np.array(1)
    with pytest.raises(TypeError, match="iteration over a 0-d array") as raised:
        model.add_constraints(rows, [[1.0, 1.0]] * 2, [0.0] * 2, ["<"] * 2, [1.0] * 2)
    assert raised.value.__notes__ == ["while processing 'fs_vars'"]
    assert model.add_constraints([[0]], [[1.0]], [0.0], ["<"], [1.0]) == [1]
