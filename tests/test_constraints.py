"""Model.add_constraint and Model.add_constraints on the stand-in solver: the compressed rows that reach COPT_AddRows,
every refusal in its order, and what a refused batch leaves behind."""

import math

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import brenlox_copt

INF, NAN = math.inf, math.nan
CODE_6_TEXT = "an argument value is invalid (type, bound, coefficient, constant or sense)"


@pytest.fixture
def model(standin):
    """A fresh model with three variables on the stand-in."""
    model = brenlox_copt.Model()
    assert model.add_variables(3) == [0, 1, 2]
    return model


def add_rows(standin):
    """The arguments of every COPT_AddRows call since the last reset, the problem handle left out."""
    return [call.args[1:] for call in standin.calls("COPT_AddRows")]


def native_rows(standin):
    return standin.problem().rows


def notes(error):
    return getattr(error, "__notes__", [])


# What reaches the solver -------------------------------------------------------------------------------------------


@pytest.mark.parametrize(
    "constant, sense, rhs, lower, upper",
    [
        (2.0, ">", 5.0, 3.0, 1e30),
        (2.0, "<", 5.0, -1e30, 3.0),
        (2.0, "=", 5.0, 3.0, 3.0),
        (0.0, "<", INF, -1e30, 1e30),
        (0.0, ">", -1e40, -1e30, 1e30),
        (0.0, ">", -INF, -1e30, 1e30),
        (-1.0, "=", 1e40, 1e30, 1e30),
        (1e30, "<", -1e30, -1e30, -1e30),
        (-3, "=", 0, 3.0, 3.0),  # integers are numbers
    ],
)
def test_bounds_move_the_constant_over_and_are_clamped(standin, model, constant, sense, rhs, lower, upper):
    assert model.add_constraint([1], [2.0], constant, sense, rhs) == 0
    assert add_rows(standin) == [(1, [0], [1], [1], [2.0], None, [lower], [upper], ["c0"])]


def test_a_batch_is_one_call_with_its_rows_as_given(standin, model):
    ids = model.add_constraints(
        [[0, 2, 0], (), range(1, 2)],
        [(1, 2.5, -3), [], [0.5]],
        [0.0, 1.0, -1.0],
        ("<", ">", "="),
        [4, 1, 1],
        ["first", "", "é😀"],
    )
    assert ids == [0, 1, 2] and all(type(value) is int for value in ids)
    # The repeated variable stays two entries; the row without terms takes no room.
    assert add_rows(standin) == [
        (3, [0, 3, 3], [3, 0, 1], [0, 2, 0, 1], [1.0, 2.5, -3.0, 0.5], None,
         [-1e30, 0.0, 2.0], [4.0, 1e30, 2.0], ["first", "", "é😀"]),
    ]  # fmt: skip
    assert native_rows(standin) == [
        standin.Row("first", -1e30, 4.0, [(0, 1.0), (2, 2.5), (0, -3.0)]),
        standin.Row("", 0.0, 1e30, []),
        standin.Row("é😀", 2.0, 2.0, [(1, 0.5)]),
    ]


class Sense(str):
    """A str subclass: equal to a sense, never the same object as one."""


BOUNDS = {"<": (-1e30, 0.0), ">": (0.0, 1e30), "=": (0.0, 0.0)}

# Senses read by object identity after the first of each: every row must still get its own. Cases: (senses, the
# ValueError message when one is bad, or None).
SENSE_RUNS = {
    "three objects in turn": (list("<>=" * 6), None),
    "subclass objects among the same values": ([Sense("<"), "<", Sense(">"), ">", Sense("<"), "="] * 3, None),
    "more distinct objects than are kept": (list("<>=<>=") + ["!"] + list("<>="), "invalid sense character: !"),
    "a bad object after the good ones repeat": (list("<<<<>>>>") + ["<="], "expected a string of length 1"),
}  # fmt: skip


@pytest.mark.parametrize("senses, error", SENSE_RUNS.values(), ids=SENSE_RUNS.keys())
def test_each_row_gets_its_own_sense_whatever_objects_repeat(standin, model, senses, error):
    rows = len(senses)
    call = lambda: model.add_constraints([[0]] * rows, [[1.0]] * rows, [0.0] * rows, senses, [0.0] * rows)  # noqa: E731
    if error is not None:
        with pytest.raises(ValueError, match=error):
            call()
        assert add_rows(standin) == []
        return
    assert call() == list(range(rows))
    (added,) = add_rows(standin)
    assert list(zip(added[6], added[7])) == [BOUNDS[str(sense)] for sense in senses]


def test_a_batch_without_terms_sends_null_column_and_value_arrays(standin, model):
    assert model.add_constraints([[], []], [[], []], [0.0, 1.0], ["<", ">"], [1.0, 2.0]) == [0, 1]
    assert add_rows(standin) == [(2, [0, 0], [0, 0], None, None, None, [-1e30, 1.0], [1.0, 1e30], ["c0", "c1"])]


def test_default_names_follow_the_ids_across_batches(standin, model):
    assert model.add_constraints([[0], [1]], [[1], [1]], [0, 0], ["<", "<"], [1, 1]) == [0, 1]
    assert model.add_constraint([2], [1], 0, "<", 1, name="named") == 2
    assert model.add_constraint([2], [1], 0, "<", 1) == 3
    assert model.add_constraints([[0]] * 3, [[1]] * 3, [0] * 3, [">"] * 3, [0] * 3) == [4, 5, 6]
    assert [args[-1] for args in add_rows(standin)] == [["c0", "c1"], ["named"], ["c3"], ["c4", "c5", "c6"]]
    assert [row.name for row in native_rows(standin)] == ["c0", "c1", "named", "c3", "c4", "c5", "c6"]


def test_an_empty_batch_returns_no_ids_and_makes_no_call(standin, model):
    assert model.add_constraints([], [], [], [], []) == []
    assert model.add_constraints((), (), (), (), (), names=()) == []
    assert standin.count("COPT_AddRows") == 0
    assert model.add_constraint([], [], 0.0, "<", 1.0) == 0


# Refusals ----------------------------------------------------------------------------------------------------------


def one_row(m, variables, coefficients, constant=0.0, sense="<", rhs=1.0, name=None):
    return m.add_constraint(variables, coefficients, constant, sense, rhs, name)


def two_rows(m, variables=([0], [1]), coefficients=([1.0], [1.0]), constants=(0.0, 0.0), senses=("<", ">"),
             rhss=(1.0, 2.0), names=None):  # fmt: skip
    return m.add_constraints(variables, coefficients, constants, senses, rhss, names)


def fail_add_rows(standin):
    standin.fail("COPT_AddRows", 6)


# Each case runs on a model with three variables (0, 1, 2) and one constraint (id 0), so the refused call would have
# started at id 1: (call, exception type, message, parameter named by the note or None, arming of the stand-in).
REFUSALS = {
    # The boundary's own checks: ValueError without a note, before anything reaches the backend.
    "coefficient count": (lambda m: one_row(m, [0, 1], [1.0]), ValueError, "coefficients has length 1, expected 2"),
    "sense character": (lambda m: one_row(m, [0], [1.0], sense="!"), ValueError, "invalid sense character: !"),
    "non-ASCII sense": (lambda m: one_row(m, [0], [1.0], sense="≤"), ValueError, "invalid sense character: ≤"),
    "coefficient rows, all later counts wrong too": (
        lambda m: two_rows(m, coefficients=[[1.0]], constants=[0.0], senses=["<"], rhss=[], names=["a"]),
        ValueError, "constraint coefficient rows has length 1, expected 2",
    ),
    "constants, before a row length": (
        lambda m: two_rows(m, coefficients=[[1.0], [1.0, 2.0]], constants=[0.0], senses=["<"], rhss=[], names=["a"]),
        ValueError, "constraint constants has length 1, expected 2",
    ),
    "senses": (
        lambda m: two_rows(m, senses=["<"], rhss=[], names=["a"]),
        ValueError, "constraint senses has length 1, expected 2",
    ),
    "right-hand sides": (
        lambda m: two_rows(m, rhss=[1.0, 2.0, 3.0], names=["a"]),
        ValueError, "constraint right-hand sides has length 3, expected 2",
    ),
    "names": (lambda m: two_rows(m, names=("a",)), ValueError, "constraint names has length 1, expected 2"),
    "lengths of an empty batch": (
        lambda m: m.add_constraints([], [], [], [], [1.0]),
        ValueError, "constraint right-hand sides has length 1, expected 0",
    ),
    "row length after a bad sense": (
        lambda m: two_rows(m, coefficients=[[1.0], [1.0, 2.0]], senses=["!", "<"]),
        ValueError, "constraint coefficients has length 2, expected 1",
    ),
    "row length before a backend refusal": (
        lambda m: two_rows(m, variables=[[9], [1, 2]], constants=[INF, 0.0]),
        ValueError, "constraint coefficients has length 1, expected 2",
    ),
    "sense before a backend refusal": (
        lambda m: two_rows(m, variables=[[9], [1]], senses=["<", "?"]),
        ValueError, "invalid sense character: ?",
    ),
    # Conversion failures: the note names the argument.
    "two-character sense": (
        lambda m: one_row(m, [0], [1.0], sense="<="),
        ValueError, "expected a string of length 1", "sense",
    ),
    "two-character sense in a batch": (
        lambda m: two_rows(m, senses=["<", "<="]),
        ValueError, "expected a string of length 1", "senses",
    ),
    "senses as one string": (lambda m: two_rows(m, senses="<>"), TypeError, "Can't extract `str` to `Vec`", "senses"),
    # The backend's checks, in their order: RuntimeError without a note.
    "infinite constant, before the row's terms": (
        lambda m: one_row(m, [7], [NAN], constant=INF),
        RuntimeError, "Invalid input: constraint constant must be finite, got inf",
    ),
    "negative infinite constant": (
        lambda m: one_row(m, [0], [1.0], constant=-INF),
        RuntimeError, "Invalid input: constraint constant must be finite, got -inf",
    ),
    "NaN constant in the second row": (
        lambda m: two_rows(m, constants=[0.0, NAN]),
        RuntimeError, "Invalid input: constraint constant must be finite, got NaN",
    ),
    "missing variable, before its coefficient": (
        lambda m: one_row(m, [0, 3], [1.0, NAN]), RuntimeError, "Invalid variable index: 3",
    ),
    "largest variable id": (
        lambda m: one_row(m, [2**64 - 1], [1.0]), RuntimeError, "Invalid variable index: 18446744073709551615",
    ),
    "NaN coefficient, before a later missing variable": (
        lambda m: one_row(m, [1, 5], [NAN, 1.0]),
        RuntimeError, "Invalid input: constraint coefficient must be finite, got NaN",
    ),
    "infinite coefficient": (
        lambda m: one_row(m, [1], [-INF]),
        RuntimeError, "Invalid input: constraint coefficient must be finite, got -inf",
    ),
    "EqualTo NaN": (
        lambda m: one_row(m, [0], [1.0], sense="=", rhs=NAN),
        RuntimeError, "Invalid input: constraint 1 has invalid bounds [NaN, NaN]",
    ),
    "GreaterThan NaN in the second row": (
        lambda m: two_rows(m, rhss=[1.0, NAN]), RuntimeError, "Invalid input: constraint 2 produces a NaN bound",
    ),
    "LessThan NaN": (
        lambda m: one_row(m, [0], [1.0], sense="<", rhs=NAN),
        RuntimeError, "Invalid input: constraint 1 produces a NaN bound",
    ),
    "an earlier row's last check before a later row's first": (
        lambda m: two_rows(m, constants=[0.0, INF], rhss=[NAN, 1.0]),
        RuntimeError, "Invalid input: constraint 1 produces a NaN bound",
    ),
    "zero byte in the name": (
        lambda m: one_row(m, [0], [1.0], name="a\0b"),
        RuntimeError, "Invalid name: constraint name contains an embedded NUL byte",
    ),
    "zero byte in the second name": (
        lambda m: two_rows(m, names=["a", "\0"]),
        RuntimeError, "Invalid name: constraint name contains an embedded NUL byte",
    ),
    "missing variable in row 2 before a zero byte in name 1": (
        lambda m: two_rows(m, variables=[[0], [7]], names=["a\0", "b"]), RuntimeError, "Invalid variable index: 7",
    ),
    "NaN bound in row 2 before a zero byte in name 1": (
        lambda m: two_rows(m, rhss=[1.0, NAN], names=["a\0", "b"]),
        RuntimeError, "Invalid input: constraint 2 produces a NaN bound",
    ),
    # The solver's refusal, after every check passed.
    "COPT_AddRows fails": (
        two_rows, RuntimeError,
        "COPT error in COPT_AddRows: code 6: " + CODE_6_TEXT,
        None, fail_add_rows,
    ),
}  # fmt: skip


@pytest.mark.parametrize("case", REFUSALS.values(), ids=REFUSALS.keys())
def test_a_refused_call_changes_nothing_and_the_next_batch_gets_its_ids(standin, model, case):
    call, exception_type, message, parameter, arm = (*case, None, None)[:5]
    assert model.add_constraint([0], [1.0], 0.0, "<", 1.0) == 0
    if arm is not None:
        arm(standin)
    with pytest.raises(exception_type) as caught:
        call(model)
    assert type(caught.value) is exception_type
    assert str(caught.value) == message
    assert notes(caught.value) == ([f"while processing '{parameter}'"] if parameter else [])
    solver_calls = standin.count("COPT_AddRows")
    assert solver_calls == (2 if arm is not None else 1)

    assert model.add_constraints([[1], [2, 0]], [[2.0], [1.0, 1.0]], [0.0, 1.0], [">", "="], [1.0, 2.0]) == [1, 2]
    assert add_rows(standin)[solver_calls][-1] == ["c1", "c2"]
    assert native_rows(standin) == [
        standin.Row("c0", -1e30, 1.0, [(0, 1.0)]),
        standin.Row("c1", 1.0, 1e30, [(1, 2.0)]),
        standin.Row("c2", 1.0, 1.0, [(2, 1.0), (0, 1.0)]),
    ]


# Cached results ----------------------------------------------------------------------------------------------------


@pytest.fixture
def solved(model):
    """The model with x0 maximised within [0, 1e30] under x0 + x1 <= 4, solved: x0 = 4, x1 = 0."""
    model.add_constraint([0, 1], [1.0, 1.0], 0.0, "<", 4.0)
    model.set_objective([0], [1.0], 0.0, 1)
    assert model.optimize() == 1
    assert (model.get_objective_value(), model.get_var_value(0)) == (4.0, 4.0)
    return model


def test_cached_results_survive_refused_and_empty_batches(standin, solved):
    with pytest.raises(RuntimeError):
        solved.add_constraint([5], [1.0], 0.0, "<", 1.0)
    standin.fail("COPT_AddRows", 6)
    with pytest.raises(RuntimeError):
        solved.add_constraint([0], [1.0], 0.0, "<", 1.0)
    with pytest.raises(ValueError):
        solved.add_constraints([[0]], [[1.0]], [0.0], ["!"], [1.0])
    assert solved.add_constraints([], [], [], [], []) == []
    assert (solved.get_objective_value(), solved.get_var_value(0), solved.get_var_value(1)) == (4.0, 4.0, 0.0)


@pytest.mark.parametrize(
    "add",
    [
        lambda m: m.add_constraint([], [], 0.0, "<", 1.0),
        lambda m: m.add_constraints([[0], [1]], [[1.0], [1.0]], [0.0, 0.0], ["<", "<"], [9.0, 9.0]),
    ],
)
def test_a_successful_batch_clears_the_cached_results(solved, add):
    add(solved)
    assert (solved.get_objective_value(), solved.get_var_value(0)) == (None, None)


# Random batches against the arrays they should become --------------------------------------------------------------

VARIABLES = 4
finite = st.floats(allow_nan=False, allow_infinity=False)
row = st.tuples(
    st.lists(st.tuples(st.integers(0, VARIABLES - 1), finite), max_size=4),
    finite,
    st.sampled_from("<=>"),
    st.floats(allow_nan=False),
    st.text(st.characters(exclude_categories=("Cs",), exclude_characters="\0"), max_size=3),
)
batch = st.tuples(st.lists(row, max_size=4), st.booleans())


def expected_add_rows(rows, first_id, named):
    """The COPT_AddRows arguments (handle left out) that a batch of `rows` starting at `first_id` should become."""
    starts, counts, columns, values, lower, upper = [], [], [], [], [], []
    for terms, constant, sense, rhs, _ in rows:
        starts.append(len(columns))
        counts.append(len(terms))
        columns += [variable for variable, _ in terms]
        values += [coefficient for _, coefficient in terms]
        shifted = rhs - constant
        low, high = {"<": (-INF, shifted), "=": (shifted, shifted), ">": (shifted, INF)}[sense]
        lower.append(min(max(low, -1e30), 1e30))
        upper.append(min(max(high, -1e30), 1e30))
    names = [name for *_, name in rows] if named else [f"c{first_id + k}" for k in range(len(rows))]
    return (len(rows), starts, counts, columns or None, values or None, None, lower, upper, names)


@settings(
    derandomize=True, max_examples=60, deadline=None, suppress_health_check=[HealthCheck.function_scoped_fixture]
)
@given(batches=st.lists(batch, min_size=1, max_size=3))
def test_random_batches_become_the_expected_compressed_rows(standin, batches):
    standin.reset()
    model = brenlox_copt.Model()
    model.add_variables(VARIABLES)
    expected, first_id = [], 0
    for rows, named in batches:
        ids = model.add_constraints(
            [[variable for variable, _ in terms] for terms, *_ in rows],
            [[coefficient for _, coefficient in terms] for terms, *_ in rows],
            [constant for _, constant, *_ in rows],
            [sense for _, _, sense, *_ in rows],
            [rhs for *_, rhs, _ in rows],
            [name for *_, name in rows] if named else None,
        )
        assert ids == list(range(first_id, first_id + len(rows)))
        if rows:
            expected.append(expected_add_rows(rows, first_id, named))
        first_id += len(rows)
    assert add_rows(standin) == expected
