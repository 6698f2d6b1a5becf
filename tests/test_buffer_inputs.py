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
    # Longer than one chunk of the reader, in every integer width; a negative id only in the last chunk.
    **{
        f"{dtype.__name__} ids in chunks{', the last negative' if negative else ''}": (
            np.array([index % 3 for index in range(1100)] + ([-1] if negative else []), dtype=dtype),
            np.full(1100 + negative, 0.5),
        )
        for dtype, negative in [(np.int16, False), (np.uint16, False), (np.uint32, False), (np.int64, False),
                                (np.int8, True), (np.int16, True), (np.int32, True), (np.int64, True)]
    },
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


# Both sides convert NumPy booleans as indexes, which newer NumPy deprecates (and will refuse, on both sides alike);
# NumPy 1.x names the type np.bool_, 2.x np.bool.
@pytest.mark.filterwarnings(r"ignore:In future, it will be an error for 'np\.bool_?' scalars:DeprecationWarning")
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


# Arrays whose buffer is not what iterating them yields: each must convert as its items do, one by one.
class ShiftedIteration(np.ndarray):
    def __iter__(self):
        return iter([item + 1 for item in self.tolist()])


class ShiftedIndexing(np.ndarray):
    """NumPy arrays iterate by indexing."""

    def __getitem__(self, index):
        return np.ndarray.__getitem__(self, index) + 1


class ShiftedArray(array.array):
    def __iter__(self):
        return iter([item + 1 for item in self.tolist()])


class PlainSubclass(np.ndarray):
    pass


def forged(module, name):
    """A class that calls itself `module.name` (NumPy's array, or array.array) without being it; its buffer is not what
    iterating it yields."""
    return type(name, (ShiftedArray,), {"__module__": module, "__qualname__": name})


ForgedNumpyArray = forged("numpy", "ndarray")
ForgedArrayArray = forged("array", "array")


def numbers(storage):
    """The arrays of one stored content: the stored values are 0, 1 and 2 (as floats or as ints)."""
    float_like = isinstance(storage[0], float)
    return {
        "masked array": np.ma.array(storage, mask=[False, True, False]),
        "ndarray with its own __iter__": np.array(storage).view(ShiftedIteration),
        "ndarray with its own __getitem__": np.array(storage).view(ShiftedIndexing),
        "array.array with its own __iter__": ShiftedArray("d" if float_like else "q", storage),
        "ndarray subclass that iterates as ndarray": np.array(storage).view(PlainSubclass),
        "class calling itself numpy.ndarray": ForgedNumpyArray("d" if float_like else "q", storage),
        "class calling itself array.array": ForgedArrayArray("d" if float_like else "q", storage),
    }


ONES = [1.0, 1.0, 1.0]
# Every numeric sequence argument, given the array under test; the other arguments are lists.
NUMERIC_ARGUMENTS = {
    "add_variables lbs": (float, lambda given: lambda model: model.add_variables(3, lbs=given)),
    "add_variables ubs": (float, lambda given: lambda model: model.add_variables(3, ubs=given)),
    "add_constraint vars": (int, lambda given: add_constraint(given, ONES)),
    "add_constraint coeffs": (float, lambda given: add_constraint([0, 1, 2], given)),
    "add_constraints fs_vars row": (
        int, lambda given: lambda model: model.add_constraints([given], [ONES], [0.0], ["<"], [4.0])),
    "add_constraints fs_coeffs row": (
        float, lambda given: lambda model: model.add_constraints([[0, 1, 2]], [given], [0.0], ["<"], [4.0])),
    "add_constraints fs_consts": (
        float, lambda given: lambda model: model.add_constraints([[0]] * 3, [[1.0]] * 3, given, ["<"] * 3, ONES)),
    "add_constraints rhss": (
        float, lambda given: lambda model: model.add_constraints([[0]] * 3, [[1.0]] * 3, [0.0] * 3, ["<"] * 3, given)),
    "set_objective vars": (int, lambda given: lambda model: model.set_objective(given, ONES, 0.0, 1)),
    "set_objective coeffs": (float, lambda given: lambda model: model.set_objective([0, 1, 2], given, 0.0, 1)),
}
ARRAY_CASES = [
    pytest.param(argument, form, id=f"{argument}, {form}")
    for argument in NUMERIC_ARGUMENTS
    for form in numbers([0, 1, 2])
]


@pytest.mark.filterwarnings("ignore:Warning. converting a masked element")
@pytest.mark.parametrize("argument, form", ARRAY_CASES)
def test_arrays_convert_as_iterating_them_does(standin, argument, form):
    item_type, call = NUMERIC_ARGUMENTS[argument]
    given = numbers([item_type(value) for value in (0, 1, 2)])[form]
    expected = outcome(standin, call(list(given)))
    assert outcome(standin, call(given)) == expected
