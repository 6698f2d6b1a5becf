"""Model.add_variable and Model.add_variables: ids, defaults, clamping, validation order, the native batch, and what
a failed batch leaves unchanged."""

import json
import os
import subprocess
import sys

import numpy as np
import pytest

from brenlox_copt import Model
from support.child import child_environment

INF = float("inf")
NAN = float("nan")
BIG = 1e30
BIG_TEXT = "1" + "0" * 30
BELOW_BIG = 9.999999999999999e29  # the double just below 1e30: not clamped


@pytest.fixture
def model(standin):
    model = Model()
    standin.reset()
    return model


def add_cols(n, types, lower, upper, names):
    return ("COPT_AddCols", ("prob1", n, None, None, None, None, None, types, lower, upper, names))


def columns(standin):
    return [(c.name, c.type, c.lower, c.upper) for c in standin.problem().columns]


# Successful batches -------------------------------------------------------------------------------------------------


def test_ids_and_default_names_continue_across_batches(standin, model):
    assert model.add_variables(2) == [0, 1]
    assert model.add_variables(3) == [2, 3, 4]
    assert model.add_variable() == 5
    assert standin.calls() == [
        add_cols(2, ["C", "C"], [0.0, 0.0], [BIG, BIG], ["x0", "x1"]),
        add_cols(3, ["C"] * 3, [0.0] * 3, [BIG] * 3, ["x2", "x3", "x4"]),
        add_cols(1, ["C"], [0.0], [BIG], ["x5"]),
    ]


@pytest.mark.parametrize("n", [0, False])
def test_empty_batch_makes_no_native_call(standin, model, n):
    assert model.add_variables(n) == []
    assert model.add_variables(0, [], [], [], []) == []
    assert standin.calls() == []
    assert model.add_variable() == 0


def test_given_values_reach_the_solver(standin, model):
    ids = model.add_variables(
        4,
        names=("a", "", "a", "é"),  # empty and repeated names are accepted
        vtypes=["C", "B", "I", "I"],
        lbs=range(-2, 2),
        ubs=np.array([0.5, 1.0, 2.0, 3.0]),
    )
    assert ids == [0, 1, 2, 3]
    assert standin.calls() == [
        add_cols(4, ["C", "B", "I", "I"], [-2.0, -1.0, 0.0, 1.0], [0.5, 1.0, 2.0, 3.0], ["a", "", "a", "é"])
    ]
    assert columns(standin) == [
        ("a", "C", -2.0, 0.5),
        ("", "B", -1.0, 1.0),
        ("a", "I", 0.0, 2.0),
        ("é", "I", 1.0, 3.0),
    ]


@pytest.mark.parametrize(
    "kwargs, call",
    [
        ({}, add_cols(1, ["C"], [0.0], [BIG], ["x0"])),
        ({"name": "y", "vtype": "I", "lb": -2, "ub": 3.5}, add_cols(1, ["I"], [-2.0], [3.5], ["y"])),
        ({"vtype": "B"}, add_cols(1, ["B"], [0.0], [BIG], ["x0"])),
        ({"ub": 7}, add_cols(1, ["C"], [0.0], [7.0], ["x0"])),
        ({"lb": -INF}, add_cols(1, ["C"], [-BIG], [BIG], ["x0"])),
        ({"lb": INF, "ub": INF}, add_cols(1, ["C"], [BIG], [BIG], ["x0"])),
        ({"lb": -INF, "ub": -INF}, add_cols(1, ["C"], [-BIG], [-BIG], ["x0"])),
        ({"lb": -1e31, "ub": 1e300}, add_cols(1, ["C"], [-BIG], [BIG], ["x0"])),
        ({"lb": -BIG, "ub": BIG}, add_cols(1, ["C"], [-BIG], [BIG], ["x0"])),
        ({"lb": -BELOW_BIG, "ub": BELOW_BIG}, add_cols(1, ["C"], [-BELOW_BIG], [BELOW_BIG], ["x0"])),
    ],
)
def test_single_variable_defaults_and_clamping(standin, model, kwargs, call):
    assert model.add_variable(**kwargs) == 0
    assert standin.calls() == [call]


def test_large_batch_is_one_native_call(standin, model):
    n = 20_000
    assert model.add_variables(n, ubs=[float(i) for i in range(n)]) == list(range(n))
    [call] = standin.calls()
    assert call.args[1] == n and call.args[9][-1] == float(n - 1) and call.args[10][-1] == f"x{n - 1}"


# Refused batches ----------------------------------------------------------------------------------------------------


def invalid(message):
    return f"Invalid input: {message}"


C_INT = invalid("variable count exceeds COPT's c_int range")
NUL_NAME = "Invalid name: variable name contains an embedded NUL byte"


def bad_type(character):
    return invalid(f"unsupported COPT variable type '{character}'; expected 'C', 'B', or 'I'")


def crossed(index, lower, upper):
    return invalid(f"variable {index} has lower bound {lower} greater than upper bound {upper}")


@pytest.mark.parametrize(
    "args, kwargs, message",
    [
        # the count comes first, before any list is looked at
        ((2**31,), {}, C_INT),
        ((2**31,), {"lbs": [NAN], "vtypes": ["x"]}, C_INT),
        ((2**64 - 1,), {}, C_INT),
        # lower bounds: length, then NaN
        ((2,), {"lbs": [0.0]}, invalid("lower bounds has length 1, expected 2")),
        ((2,), {"lbs": [0.0, NAN, NAN]}, invalid("lower bounds has length 3, expected 2")),
        ((2,), {"lbs": [0.0, NAN], "ubs": [1.0]}, invalid("lower bounds cannot contain NaN, got NaN")),
        ((0,), {"lbs": [1.0]}, invalid("lower bounds has length 1, expected 0")),
        # upper bounds likewise
        ((2,), {"ubs": [1.0, 2.0, 3.0], "vtypes": ["x"]}, invalid("upper bounds has length 3, expected 2")),
        ((2,), {"ubs": [-NAN, 1.0]}, invalid("upper bounds cannot contain NaN, got NaN")),
        # lower above upper, shown as passed in, with the id the variable would have had; before the types
        ((2,), {"lbs": [0.0, 5], "ubs": [1.0, 1], "vtypes": ["x", "y"]}, crossed(3, 5, 1)),
        ((1,), {"lbs": [5], "ubs": [1]}, crossed(2, 5, 1)),
        ((1,), {"lbs": [0.5], "ubs": [0.25]}, crossed(2, 0.5, 0.25)),
        ((1,), {"lbs": [INF], "ubs": [1e30]}, crossed(2, "inf", BIG_TEXT)),
        ((1,), {"lbs": [1e31], "ubs": [1e30]}, crossed(2, BIG_TEXT + "0", BIG_TEXT)),
        ((1,), {"lbs": [-1e-7], "ubs": [-INF]}, crossed(2, "-0.0000001", "-inf")),
        # types: length, then each character
        ((2,), {"vtypes": ["C"]}, invalid("variable types has length 1, expected 2")),
        ((2,), {"vtypes": ["C", "c"]}, bad_type("c")),
        ((1,), {"vtypes": ["é"], "names": []}, bad_type("é")),
        ((1,), {"vtypes": ["\0"]}, bad_type("\0")),
        # names: length, then NUL
        ((2,), {"names": ["a"]}, invalid("variable names has length 1, expected 2")),
        ((2,), {"names": ["a", "b\0"]}, NUL_NAME),
        ((2,), {"names": ["\0", "b"], "lbs": [0.0, 1.0]}, NUL_NAME),
    ],
)
def test_refused_batch_changes_nothing(standin, model, args, kwargs, message):
    assert model.add_variables(2) == [0, 1]
    standin.reset()
    with pytest.raises(RuntimeError) as caught:
        model.add_variables(*args, **kwargs)
    assert type(caught.value) is RuntimeError
    assert str(caught.value) == message
    assert getattr(caught.value, "__notes__", []) == []
    assert standin.calls() == []
    # The next batch continues where the last successful one ended.
    assert model.add_variables(1) == [2]
    assert standin.calls() == [add_cols(1, ["C"], [0.0], [BIG], ["x2"])]


# The largest count, with one list one entry long: the arrays of the whole batch would need gigabytes. The calls run in
# a child whose address space is capped, so that allocating before the lengths are checked fails the same way on any
# machine (and cannot starve this one).
SHORT_LISTS = [
    ({"lbs": [0.0]}, "lower bounds has length 1, expected 2147483647"),
    ({"ubs": [1.0], "vtypes": ["C"]}, "upper bounds has length 1, expected 2147483647"),
    ({"vtypes": ["C"]}, "variable types has length 1, expected 2147483647"),
    ({"names": ["a"]}, "variable names has length 1, expected 2147483647"),
]
CAPPED_CHILD = """
import json, resource, sys
resource.setrlimit(resource.RLIMIT_AS, (2**31, 2**31))
from brenlox_copt import Model
model = Model()
for kwargs in json.loads(sys.argv[1]):
    try:
        model.add_variables(2**31 - 1, **kwargs)
    except Exception as error:
        print(type(error).__name__, error)
"""


@pytest.mark.skipif("libasan" in os.environ.get("LD_PRELOAD", ""), reason="AddressSanitizer reserves more address "
                    "space than the cap allows")
def test_lengths_are_checked_before_the_batch_is_allocated(standin):
    completed = subprocess.run([sys.executable, "-c", CAPPED_CHILD, json.dumps([kwargs for kwargs, _ in SHORT_LISTS])],
                               capture_output=True, text=True, timeout=60, check=False, env=child_environment())
    assert completed.stdout.splitlines() == [f"RuntimeError {invalid(message)}" for _, message in SHORT_LISTS], (
        completed.stderr)


@pytest.mark.parametrize(
    "kwargs, message",
    [
        ({"vtype": "c"}, bad_type("c")),
        ({"lb": NAN}, invalid("lower bounds cannot contain NaN, got NaN")),
        ({"ub": NAN}, invalid("upper bounds cannot contain NaN, got NaN")),
        ({"lb": 5, "ub": 1, "vtype": "c"}, crossed(0, 5, 1)),
        ({"lb": 2, "ub": 1}, crossed(0, 2, 1)),
        ({"name": "a\0"}, NUL_NAME),
    ],
)
def test_refused_single_variable(standin, model, kwargs, message):
    with pytest.raises(RuntimeError) as caught:
        model.add_variable(**kwargs)
    assert str(caught.value) == message
    assert standin.calls() == []
    assert model.add_variable() == 0


@pytest.mark.parametrize(
    "method, args, kwargs, exception_type, message, parameter",
    [
        ("add_variables", (-1,), {}, OverflowError, None, "n"),
        ("add_variables", (2**64,), {}, OverflowError, None, "n"),
        ("add_variables", (2.0,), {}, TypeError, None, "n"),
        ("add_variables", (2,), {"names": "ab"}, TypeError, "Can't extract `str` to `Vec`", "names"),
        ("add_variables", (2,), {"names": ["a", 1]}, TypeError, "'int' object is not an instance of 'str'", "names"),
        ("add_variables", (1,), {"vtypes": ["CI"]}, ValueError, "expected a string of length 1", "vtypes"),
        ("add_variables", (1,), {"lbs": 0.0}, TypeError, "'float' object is not an instance of 'Sequence'", "lbs"),
        ("add_variables", (1,), {"ubs": ["1"]}, TypeError, None, "ubs"),
        ("add_variable", (), {"name": 1}, TypeError, "'int' object is not an instance of 'str'", "name"),
        ("add_variable", (), {"vtype": ""}, ValueError, "expected a string of length 1", "vtype"),
        ("add_variable", (), {"lb": "0"}, TypeError, None, "lb"),
        ("add_variable", (), {"ub": 10**400}, OverflowError, None, "ub"),
    ],
)
def test_argument_errors_change_nothing(standin, model, method, args, kwargs, exception_type, message, parameter):
    with pytest.raises(exception_type) as caught:
        getattr(model, method)(*args, **kwargs)
    assert type(caught.value) is exception_type
    if message is not None:  # otherwise the interpreter's own text
        assert str(caught.value) == message
    assert caught.value.__notes__ == [f"while processing '{parameter}'"]
    assert standin.calls() == []
    assert model.add_variable() == 0


def test_failing_native_call_changes_nothing(standin, model):
    assert model.add_variables(2) == [0, 1]
    standin.fail("COPT_AddCols", 6)
    with pytest.raises(RuntimeError) as caught:
        model.add_variables(3)
    assert str(caught.value) == (
        "COPT error in COPT_AddCols: code 6: an argument value is invalid (type, bound, coefficient, constant or sense)"
    )
    assert model.add_variables(1) == [2]
    assert columns(standin) == [("x0", "C", 0.0, BIG), ("x1", "C", 0.0, BIG), ("x2", "C", 0.0, BIG)]


# Cached results -----------------------------------------------------------------------------------------------------


@pytest.fixture
def solved(model):
    """A model whose last solve found x0 = 2 with objective 2.5."""
    assert model.add_variable(lb=1.0, ub=2.0) == 0
    model.set_objective([0], [1.0], 0.5, 1)
    assert model.optimize() == 1
    assert (model.get_var_value(0), model.get_objective_value()) == (2.0, 2.5)
    return model


def cached(model):
    return model.get_var_value(0), model.get_objective_value()


@pytest.mark.parametrize("args", [(0,), (0, [], [], [], [])])
def test_empty_batch_keeps_cached_results(standin, solved, args):
    assert solved.add_variables(*args) == []
    assert cached(solved) == (2.0, 2.5)


@pytest.mark.parametrize(
    "n, kwargs",
    [(2**31, {}), (1, {"lbs": [NAN]}), (1, {"ubs": [1.0, 2.0]}), (1, {"vtypes": ["x"]}), (1, {"names": ["\0"]})],
)
def test_refused_batch_keeps_cached_results(standin, solved, n, kwargs):
    with pytest.raises(RuntimeError):
        solved.add_variables(n, **kwargs)
    assert cached(solved) == (2.0, 2.5)


def test_failing_native_call_keeps_cached_results(standin, solved):
    standin.fail("COPT_AddCols", 6)
    with pytest.raises(RuntimeError):
        solved.add_variable()
    assert cached(solved) == (2.0, 2.5)
    assert solved.add_variable() == 1


@pytest.mark.parametrize("batch", [lambda m: m.add_variable(), lambda m: m.add_variables(2)], ids=["one", "two"])
def test_successful_batch_clears_cached_results(standin, solved, batch):
    batch(solved)
    assert cached(solved) == (None, None)
