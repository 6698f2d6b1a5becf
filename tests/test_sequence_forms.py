"""Every sequence parameter takes every kind of sequence (tuples, sequence classes, ranges, arrays of each integer
and float format, memoryviews of odd formats or shapes, lists changed while they are read) with exactly the result and
the errors of the same values given as a plain list."""

import array
import ctypes
from collections.abc import Callable

import pytest

import brenlox_copt
from support.numpy_or_skip import np


class Items:
    """A sequence class with __len__ and __getitem__ only, so that it is read through the iteration protocol;
    `length` is what __len__ claims (an exception to raise it)."""

    def __init__(self, values, length=None):
        self.values = list(values)
        self.length = len(self.values) if length is None else length

    def __len__(self):
        if isinstance(self.length, BaseException):
            raise self.length
        return self.length

    def __getitem__(self, index):
        return self.values[index]


class Hook:
    """An item whose conversion runs `action` (which changes the list holding it) and then gives `value`."""

    def __init__(self, value, action):
        self.value, self.action = value, action

    def __index__(self):
        self.action()
        return self.value

    def __float__(self):
        self.action()
        return float(self.value)


def cast(values, code):
    """A memoryview of the values with the native format `code` (such as "@d" or "n") in its buffer."""
    return memoryview(array.array("d" if isinstance(values[0], float) else "q", values)).cast("B").cast(code)


def grown(values):
    """A list holding all but the last value, whose first item appends the last while it is converted."""
    items = list(values[1:-1])
    items.insert(0, Hook(values[0], lambda: items.append(values[-1])))
    return items


def shrunk(values):
    """A list holding the values and one more, whose first item removes that extra one while it is converted."""
    items = [*values[1:], 99]
    items.insert(0, Hook(values[0], items.pop))
    return items


# kind: (values, forms). Each form turns the values into another object that must act as their list.
COMMON_FORMS = {
    "tuple": tuple,
    "sequence class": Items,
    "sequence class whose length is too large to reserve": lambda values: Items(values, 2**62),
    "sequence class whose length fails": lambda values: Items(values, TypeError("no length")),
}
NUMERIC_FORMS = {
    "NumPy array": np.array,
    "non-contiguous memoryview": lambda values: memoryview(np.repeat(np.array(values), 2))[::2],
    "memoryview of an explicitly native format": lambda values: cast(values,
                                                                     "@d" if isinstance(values[0], float) else "@q"),
    "list changed while read, growing": grown,
    "list changed while read, shrinking": shrunk,
}
ID_FORMS = {
    **{f"array.array('{code}')": lambda values, code=code: array.array(code, values) for code in "bBhHiIlLqQ"},
    **{f"buffer of format '{code}'": lambda values, code=code: cast(values, code) for code in "nN"},
    "bytes": bytes,
    "bytearray": bytearray,
    "NumPy uint8 array": lambda values: np.array(values, dtype=np.uint8),
}
NUMBER_FORMS = {
    "array.array('d')": lambda values: array.array("d", values),
    "array.array('f')": lambda values: array.array("f", values),
    "NumPy float32 array": lambda values: np.array(values, dtype=np.float32),
    "little-endian buffer": lambda values: (ctypes.c_double.__ctype_le__ * len(values))(*values),
}
KINDS = {
    "id": ([2, 0, 1], {**COMMON_FORMS, **NUMERIC_FORMS, **ID_FORMS}),
    "number": ([1.5, -2.0, 3.0], {**COMMON_FORMS, **NUMERIC_FORMS, **NUMBER_FORMS}),
    "text": (["a", "b", "c"], COMMON_FORMS),
    "sense": (["<", "=", ">"], COMMON_FORMS),
    "type": (["C", "B", "I"], COMMON_FORMS),
}


def rows(model, fs_vars, fs_coeffs, **others):
    return model.add_constraints(fs_vars, fs_coeffs, [0.0, 0.5, 1.0], ["<", ">", "="], [1.0, 2.0, 3.0], **others)


# parameter: (kind, call with the parameter given `value`).
PARAMETERS: dict[str, tuple[str, Callable]] = {
    "add_variables names": ("text", lambda model, value: model.add_variables(3, names=value)),
    "add_variables vtypes": ("type", lambda model, value: model.add_variables(3, vtypes=value)),
    "add_variables lbs": ("number", lambda model, value: model.add_variables(3, lbs=value)),
    "add_variables ubs": ("number", lambda model, value: model.add_variables(3, lbs=[-5] * 3, ubs=value)),
    "add_constraint vars": ("id", lambda model, value: model.add_constraint(value, [1.0, 2.0, 3.0], 0, "<", 1)),
    "add_constraint coeffs": ("number", lambda model, value: model.add_constraint([0, 1, 2], value, 0, "<", 1)),
    "add_constraints fs_vars row": ("id", lambda model, value: rows(model, [value, [0], []],
                                                                     [[1.0, 2.0, 3.0], [4.0], []])),
    "add_constraints fs_coeffs row": ("number", lambda model, value: rows(model, [[], [0, 1, 2], [2]],
                                                                          [[], value, [4.0]])),
    "add_constraints fs_consts": ("number", lambda model, value: model.add_constraints(
        [[0], [1], [2]], [[1.0]] * 3, value, ["<"] * 3, [1.0] * 3)),
    "add_constraints senses": ("sense", lambda model, value: model.add_constraints(
        [[0], [1], [2]], [[1.0]] * 3, [0.0] * 3, value, [1.0] * 3)),
    "add_constraints rhss": ("number", lambda model, value: model.add_constraints(
        [[0], [1], [2]], [[1.0]] * 3, [0.0] * 3, ["<"] * 3, value)),
    "add_constraints names": ("text", lambda model, value: rows(model, [[0]] * 3, [[1.0]] * 3, names=value)),
    "set_objective vars": ("id", lambda model, value: model.set_objective(value, [1.0, 2.0, 3.0], 0.5, 1)),
    "set_objective coeffs": ("number", lambda model, value: model.set_objective([0, 1, 2], value, 0.5, 1)),
}
CASES = [
    pytest.param(parameter, form, id=f"{parameter}, {name}")
    for parameter, (kind, _) in PARAMETERS.items()
    for name, form in KINDS[kind][1].items()
]


@pytest.fixture
def outcome(standin):
    def run(call, value):
        """What the call did on a fresh three-variable model: its result and the problem the solver holds, or its
        error (type, message and notes)."""
        model = brenlox_copt.Model()
        model.add_variables(3)
        try:
            result = call(model, value)
        except Exception as error:  # noqa: BLE001 - the error is the outcome compared
            return ("error", type(error), str(error), getattr(error, "__notes__", None))
        problem = standin.problem()
        return ("ok", result, problem.columns, problem.rows, problem.objective_constant, problem.objective_sense)

    return run


@pytest.mark.parametrize("parameter, form", CASES)
def test_each_sequence_form_acts_as_its_list(outcome, parameter, form):
    kind, call = PARAMETERS[parameter]
    values = KINDS[kind][0]
    expected = outcome(call, list(values))
    assert expected[0] == "ok"
    assert outcome(call, form(values)) == expected


@pytest.mark.parametrize("parameter", [name for name, (kind, _) in PARAMETERS.items() if kind in ("id", "number")])
@pytest.mark.parametrize(
    "values, dtypes",
    [([], (np.int64, np.float64, np.uint8)), ([-1, 0, 1], (np.int64, np.float64, np.int8, np.int16, np.int32)),
     ([0, 1, 2**40], (np.int64, np.uint64, np.float64))],
    ids=["empty", "negative", "past 2**32"],
)
def test_signed_and_empty_arrays_act_as_their_items(outcome, parameter, values, dtypes):
    call = PARAMETERS[parameter][1]
    for dtype in dtypes:
        given = np.array(values, dtype=dtype)
        assert outcome(call, given) == outcome(call, list(given)), dtype


@pytest.mark.parametrize("parameter", PARAMETERS)
def test_an_item_that_fails_to_read_ends_the_conversion_with_its_error(outcome, parameter):
    class Broken(Items):
        def __getitem__(self, index):
            if index == 1:
                raise KeyError("unreadable")
            return super().__getitem__(index)

    kind, call = PARAMETERS[parameter]
    name = parameter.split()[1]
    assert outcome(call, Broken(KINDS[kind][0])) == ("error", KeyError, "'unreadable'", [f"while processing '{name}'"])


@pytest.mark.parametrize(
    "form",
    [
        lambda fs_vars: tuple(fs_vars),
        Items,
        lambda fs_vars: [np.array(row) for row in fs_vars],
        lambda fs_vars: Items([tuple(row) for row in fs_vars], 2**62),
        lambda fs_vars: np.array(fs_vars),
    ],
    ids=["tuple of lists", "sequence class of lists", "list of arrays", "sequence class of tuples, length too large",
         "two-dimensional array"],
)
def test_rows_in_any_form_act_as_lists_of_lists(outcome, form):
    fs_vars, fs_coeffs = [[0, 1], [2, 0], [1, 1]], [[1.0, 2.0], [3.0, 4.0], [0.5, 0.5]]
    expected = outcome(lambda model, value: rows(model, value, fs_coeffs), fs_vars)
    assert expected[0] == "ok"
    assert outcome(lambda model, value: rows(model, value, form(fs_coeffs)), form(fs_vars)) == expected


# Items each kind refuses: one whose reading runs Python code and, where a kind reads some items directly, one of those.
BAD_ITEMS = {"id": [object(), -1], "number": [object(), 10**400], "text": [object()], "sense": [object()],
             "type": [object()]}


@pytest.mark.parametrize("parameter", PARAMETERS)
@pytest.mark.parametrize("form", [tuple, Items], ids=["tuple", "sequence class"])
def test_a_refused_item_fails_in_every_form_as_in_its_list(outcome, parameter, form):
    kind, call = PARAMETERS[parameter]
    for bad in BAD_ITEMS[kind]:
        values = list(KINDS[kind][0])
        values[1] = bad
        expected = outcome(call, values)
        assert expected[0] == "error"
        assert outcome(call, form(values)) == expected


@pytest.mark.parametrize("form", [list, tuple, Items], ids=["list", "tuple", "sequence class"])
@pytest.mark.parametrize("bad_row", [5, "ab", [0, object()]], ids=["not a sequence", "a str", "a refused item"])
def test_a_refused_row_fails_in_every_form(outcome, form, bad_row):
    fs_vars = [[0, 1], bad_row, [1, 1]]
    expected = outcome(lambda model, value: rows(model, value, [[1.0, 2.0]] * 3), fs_vars)
    assert expected[0] == "error"
    assert outcome(lambda model, value: rows(model, value, [[1.0, 2.0]] * 3), form(fs_vars)) == expected
    assert outcome(lambda model, value: rows(model, [[0, 1]] * 3, value), form([[1.0, 2.0], bad_row, [1.0]])) == (
        outcome(lambda model, value: rows(model, [[0, 1]] * 3, value), [[1.0, 2.0], bad_row, [1.0]]))
