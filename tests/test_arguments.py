"""Argument binding and the conversion kinds, through the test-only Probe class and the module's constructors."""

import array
import sys

import pytest

import brenlox_copt
from support import argcheck
from support.number_likes import Index
from support.numpy_or_skip import np

Probe = argcheck.load().Probe


@pytest.fixture
def probe():
    return Probe()


def raised(exception_type, call, *args, **kwargs):
    with pytest.raises(exception_type) as caught:
        call(*args, **kwargs)
    return caught.value


def notes(error):
    return getattr(error, "__notes__", [])


# Binding -----------------------------------------------------------------------------------------------------------


@pytest.mark.parametrize(
    "method, args, kwargs, message",
    [
        ("pair", (1, 2, 3), {}, "Probe.pair() takes 2 positional arguments but 3 were given"),
        ("unsigned", (1, 2), {}, "Probe.unsigned() takes 1 positional arguments but 2 were given"),
        ("nothing", (1,), {}, "Probe.nothing() takes 0 positional arguments but 1 was given"),
        ("bind", tuple(range(6)), {}, "Probe.bind() takes from 3 to 5 positional arguments but 6 were given"),
        (
            "optional_number",
            (1, 2),
            {},
            "Probe.optional_number() takes from 0 to 1 positional arguments but 2 were given",
        ),
        ("bind", (1, 2, 3), {"f": 1}, "Probe.bind() got an unexpected keyword argument 'f'"),
        ("nothing", (), {"value": 1}, "Probe.nothing() got an unexpected keyword argument 'value'"),
        ("bind", (1, 2, 3), {"a": 4}, "Probe.bind() got multiple values for argument 'a'"),
        # Keywords are checked in the order given.
        ("bind", (1, 2, 3), {"zz": 0, "a": 4}, "Probe.bind() got an unexpected keyword argument 'zz'"),
        ("bind", (1, 2, 3), {"a": 4, "zz": 0}, "Probe.bind() got multiple values for argument 'a'"),
        ("bind", (1, 2), {}, "Probe.bind() missing 1 required positional argument: 'c'"),
        ("bind", (1,), {}, "Probe.bind() missing 2 required positional arguments: 'b' and 'c'"),
        ("bind", (), {"c": 1, "e": 2}, "Probe.bind() missing 2 required positional arguments: 'a' and 'b'"),
        ("bind", (), {}, "Probe.bind() missing 3 required positional arguments: 'a', 'b', and 'c'"),
        # Too many positional arguments wins over a bad keyword, and a bad keyword over missing ones.
        ("pair", (1, 2, 3), {"zz": 0}, "Probe.pair() takes 2 positional arguments but 3 were given"),
        ("pair", (), {"zz": 0}, "Probe.pair() got an unexpected keyword argument 'zz'"),
    ],
)
def test_binding_errors(probe, method, args, kwargs, message):
    error = raised(TypeError, getattr(probe, method), *args, **kwargs)
    assert str(error) == message
    assert notes(error) == []


@pytest.mark.parametrize(
    "call, message",
    [
        # Methods take their keywords as names the interpreter has checked already, with its own message.
        (lambda: Probe().bind(1, 2, 3, **{1: 0}), "keywords must be strings"),
        (lambda: Probe(**{1: 0}), "Probe.__new__() keywords must be strings"),
    ],
    ids=["method", "constructor"],
)
def test_keywords_must_be_strings(call, message):
    with pytest.raises(TypeError) as caught:
        call()
    assert str(caught.value) == message


def test_binding_by_position_and_keyword(probe):
    assert probe.bind(1, 2, 3) == (1, 2, 3, None, None)
    assert probe.bind(e=5, c=3, b=2, a=1) == (1, 2, 3, None, 5)
    assert probe.bind(1, 2, c=3, d=4) == (1, 2, 3, 4, None)
    assert probe.bind(1, 2, 3, None, None) == (1, 2, 3, None, None)


def test_keyword_dict_emptied_during_conversion_is_harmless(probe):
    # A ** dict reaches the method unchanged, and converting one argument may empty it: the other arguments must
    # stay alive all the same.
    class Clearing:
        def __float__(self):
            arguments.clear()
            return 7.0

    arguments = {"first": Clearing(), "second": [1, 2, 3]}
    assert probe.pair(**arguments) == (7.0, [1, 2, 3])


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: Probe(1, 2), "Probe.__new__() takes from 0 to 1 positional arguments but 2 were given"),
        (
            lambda: brenlox_copt.Model(1, 2, 3, 4, 5),
            "Model.__new__() takes from 0 to 4 positional arguments but 5 were given",
        ),
        (lambda: brenlox_copt.Model(x=1), "Model.__new__() got an unexpected keyword argument 'x'"),
        (lambda: brenlox_copt.Model(None, name=None), "Model.__new__() got multiple values for argument 'name'"),
        (
            lambda: brenlox_copt.Env(None, None, None),
            "Env.__new__() takes from 0 to 2 positional arguments but 3 were given",
        ),
        (lambda: brenlox_copt.EnvrConfig(path="x"), "EnvrConfig.__new__() got an unexpected keyword argument 'path'"),
    ],
)
def test_constructor_binding_errors(call, message):
    error = raised(TypeError, call)
    assert str(error) == message
    assert notes(error) == []


@pytest.mark.parametrize(
    "call, message, parameter",
    [
        (lambda: brenlox_copt.Model(name=5), "'int' object is not an instance of 'str'", "name"),
        (lambda: brenlox_copt.Model(dll_path=b"x"), "'bytes' object is not an instance of 'str'", "dll_path"),
        (lambda: brenlox_copt.Model(env=42), "'int' object is not an instance of 'Env'", "env"),
        (lambda: brenlox_copt.Model(config=Probe()), "'Probe' object is not an instance of 'EnvrConfig'", "config"),
        # Arguments are converted in parameter order, so the first bad one is reported.
        (lambda: brenlox_copt.Model(config=1, env=2, name=3), "'int' object is not an instance of 'str'", "name"),
        (lambda: brenlox_copt.Env(dll_path=3), "'int' object is not an instance of 'str'", "dll_path"),
        (lambda: brenlox_copt.Env(config=42), "'int' object is not an instance of 'EnvrConfig'", "config"),
        (lambda: brenlox_copt.EnvrConfig(3.5), "'float' object is not an instance of 'str'", "dll_path"),
    ],
)
def test_constructor_argument_errors(call, message, parameter):
    error = raised(TypeError, call)
    assert str(error) == message
    assert notes(error) == [f"while processing '{parameter}'"]


# Integers and numbers ----------------------------------------------------------------------------------------------


class Floaty:
    def __float__(self):
        return 2.5


@pytest.mark.parametrize(
    "method, value, expected",
    [
        ("unsigned", 0, 0),
        ("unsigned", 2**64 - 1, 2**64 - 1),
        ("unsigned", True, 1),
        ("unsigned", Index(5), 5),
        ("unsigned", np.uint64(2**64 - 1), 2**64 - 1),
        ("int32", -(2**31), -(2**31)),
        ("int32", 2**31 - 1, 2**31 - 1),
        ("int32", Index(-3), -3),
        ("int32", True, 1),
        ("number", 3, 3.0),
        ("number", -0.5, -0.5),
        ("number", Floaty(), 2.5),
        ("number", Index(4), 4.0),
        ("number", np.float32(0.5), 0.5),
        ("optional_number", None, None),
        ("optional_number", 1, 1.0),
    ],
)
def test_numeric_conversions(probe, method, value, expected):
    result = getattr(probe, method)(value)
    assert result == expected and type(result) is type(expected)


@pytest.mark.parametrize(
    "method, value, exception_type",
    [
        ("unsigned", -1, OverflowError),
        ("unsigned", 2**64, OverflowError),
        ("unsigned", Index(-1), OverflowError),
        ("unsigned", 2.0, TypeError),
        ("unsigned", "1", TypeError),
        ("unsigned", None, TypeError),
        ("int32", 2**31, OverflowError),
        ("int32", -(2**31) - 1, OverflowError),
        ("int32", 2**40, OverflowError),
        ("int32", 2**70, OverflowError),
        ("int32", "max", TypeError),
        ("number", "1.0", TypeError),
        ("number", None, TypeError),
        ("number", 10**400, OverflowError),
    ],
)
def test_numeric_conversion_errors_carry_the_note(probe, method, value, exception_type):
    error = raised(exception_type, getattr(probe, method), value)
    assert type(error) is exception_type
    assert notes(error) == ["while processing 'value'"]


def test_optional_number_left_out(probe):
    assert probe.optional_number() is None


# Text and characters -----------------------------------------------------------------------------------------------


class Named(str):
    pass


class BrokenQualname(type):
    # A missing name only; any other exception raised there ends the call (test_interrupts.py).
    def __getattribute__(cls, name):
        if name == "__qualname__":
            raise AttributeError("no name")
        return super().__getattribute__(name)


class Nameless(metaclass=BrokenQualname):
    pass


class NumberQualname(type):
    def __getattribute__(cls, name):
        return 5 if name == "__qualname__" else super().__getattribute__(name)


class NumberNamed(metaclass=NumberQualname):
    pass


@pytest.mark.parametrize("value", ["", "plain", "héllo ✓ 😀", "a\0b", Named("sub")])
def test_text_is_its_utf8_bytes_followed_by_nul(probe, value):
    assert probe.text(value) == (str(value), True)


@pytest.mark.parametrize(
    "method, value, message",
    [
        ("text", 5, "'int' object is not an instance of 'str'"),
        ("text", None, "'None' is not an instance of 'str'"),
        ("text", b"bytes", "'bytes' object is not an instance of 'str'"),
        ("text", Nameless(), "'<failed to extract type name>' object is not an instance of 'str'"),
        ("text", NumberNamed(), "'<failed to extract type name>' object is not an instance of 'str'"),
        ("character", 5, "'int' object is not an instance of 'str'"),
        ("character", None, "'None' is not an instance of 'str'"),
        ("character", Floaty(), "'Floaty' object is not an instance of 'str'"),
    ],
)
def test_downcast_to_str(probe, method, value, message):
    error = raised(TypeError, getattr(probe, method), value)
    assert str(error) == message
    assert notes(error) == ["while processing 'value'"]


def test_unencodable_text_raises_the_interpreters_error(probe):
    error = raised(UnicodeEncodeError, probe.text, "a\ud800")
    assert notes(error) == ["while processing 'value'"]


@pytest.mark.parametrize("value", ["x", "<", "😀", "\0", Named("c")])
def test_character_is_one_code_point(probe, value):
    assert probe.character(value) == value


@pytest.mark.parametrize("value", ["", "<=", "ab", "e\u0301"])
def test_character_of_other_length(probe, value):
    error = raised(ValueError, probe.character, value)
    assert str(error) == "expected a string of length 1"
    assert notes(error) == ["while processing 'value'"]


# Sequences ---------------------------------------------------------------------------------------------------------


def generate():
    yield 1


@pytest.mark.parametrize(
    "value, expected",
    [
        ([1, 2, 3], [1, 2, 3]),
        ((1, 2, 3), [1, 2, 3]),
        (range(3), [0, 1, 2]),
        (b"\x01\x02", [1, 2]),
        (array.array("q", [4, 5]), [4, 5]),
        (np.arange(3, dtype=np.uint64), [0, 1, 2]),
        ([True, Index(9), np.int64(7)], [1, 9, 7]),
        ([], []),
    ],
)
def test_unsigned_sequences(probe, value, expected):
    assert probe.unsigned_list(value) == expected


@pytest.mark.parametrize(
    "value, message",
    [
        ("ab", "Can't extract `str` to `Vec`"),
        (Named("ab"), "Can't extract `str` to `Vec`"),
        ({1, 2}, "'set' object is not an instance of 'Sequence'"),
        ({1: 2}, "'dict' object is not an instance of 'Sequence'"),
        (generate(), "'generator' object is not an instance of 'Sequence'"),
        (None, "'None' is not an instance of 'Sequence'"),
        (5, "'int' object is not an instance of 'Sequence'"),
        (Nameless(), "'<failed to extract type name>' object is not an instance of 'Sequence'"),
    ],
)
def test_sequence_refusals(probe, value, message):
    error = raised(TypeError, probe.unsigned_list, value)
    assert str(error) == message
    assert notes(error) == ["while processing 'value'"]


@pytest.mark.parametrize(
    "method, value, exception_type",
    [
        ("unsigned_list", [0, -1], OverflowError),
        ("unsigned_list", (0, 1.5), TypeError),
        ("number_list", [1.0, "x"], TypeError),
        ("character_list", ["a", "bc"], ValueError),
        ("text_list", ["a", 1], TypeError),
    ],
)
def test_first_refused_item_fails_the_sequence(probe, method, value, exception_type):
    error = raised(exception_type, getattr(probe, method), value)
    assert notes(error) == ["while processing 'value'"]


def test_sequences_of_each_kind(probe):
    assert probe.number_list([1, 2.5, Floaty(), np.float64(3.0)]) == [1.0, 2.5, 2.5, 3.0]
    assert probe.character_list(("<", "=", ">")) == ["<", "=", ">"]
    assert probe.text_list(["a", "", "é😀", "x\0y"]) == ["a", "", "é😀", "x\0y"]
    assert probe.text_list(("a", "b")) == ["a", "b"]
    assert probe.text_list(None) is None
    assert probe.text_list() is None


@pytest.mark.parametrize(
    "rows, expected, offsets",
    [
        ([[1, 2], [], (3,)], [[1, 2], [], [3]], [0, 2, 2, 3]),
        ((range(2), b"\x05"), [[0, 1], [5]], [0, 2, 3]),
        ([], [], [0]),
        ([[]], [[]], [0, 0]),
    ],
)
def test_rows_are_stored_flat(probe, rows, expected, offsets):
    assert probe.unsigned_rows(rows) == (expected, offsets)


@pytest.mark.parametrize(
    "rows, exception_type, message",
    [
        (["ab"], TypeError, "Can't extract `str` to `Vec`"),
        ([[1], 2], TypeError, "'int' object is not an instance of 'Sequence'"),
        ([[1], None], TypeError, "'None' is not an instance of 'Sequence'"),
        ("ab", TypeError, "Can't extract `str` to `Vec`"),
        ([[1.0], [2.0, "x"]], TypeError, None),
    ],
)
def test_row_refusals(probe, rows, exception_type, message):
    error = raised(exception_type, probe.number_rows, rows)
    if message is not None:
        assert str(error) == message
    assert notes(error) == ["while processing 'value'"]


def test_number_rows(probe):
    assert probe.number_rows([[1, 2.5], (Floaty(),)]) == ([[1.0, 2.5], [2.5]], [0, 2, 3])


class Growing:
    """An item whose conversion appends to (or empties) the list that holds it."""

    def __init__(self, target, action):
        self.target, self.action = target, action

    def __index__(self):
        self.action(self.target)
        return 1


@pytest.mark.parametrize(
    "action",
    [
        lambda items: items.append(5),
        lambda items: items.clear(),
        lambda items: items.insert(0, 9) if len(items) < 6 else None,
        lambda items: items.pop(),
    ],
)
def test_list_changed_during_conversion_is_walked_like_its_iterator(probe, action):
    def build():
        items = [0, None, 2, 3]
        items[1] = Growing(items, action)
        return items

    expected = []
    items = build()
    for item in items:  # what iteration sees, converting as it goes
        expected.append(item.__index__() if isinstance(item, Growing) else item)
    assert probe.unsigned_list(build()) == expected


def test_rows_changed_during_conversion(probe):
    rows = [[0], [1, None], [2]]
    rows[1][1] = Growing(rows, lambda target: target.append([7, 8]))
    assert probe.unsigned_rows(rows) == ([[0], [1, 1], [2], [7, 8]], [0, 1, 3, 4, 6])


class Reported:
    """A sequence whose __len__ says something other than what iteration yields."""

    def __init__(self, items, length):
        self.items, self.length = items, length

    def __len__(self):
        if isinstance(self.length, Exception):
            raise self.length
        return self.length

    def __getitem__(self, index):
        return self.items[index]


@pytest.mark.parametrize("length", [0, 1, 10, sys.maxsize, 2**62, TypeError("no length")])
def test_reported_length_is_only_a_hint(probe, length):
    assert probe.unsigned_list(Reported([4, 5, 6], length)) == [4, 5, 6]
    assert probe.unsigned_rows([Reported([1, 2], length)]) == ([[1, 2]], [0, 2])


def test_iteration_error_carries_the_note(probe):
    class Broken(Reported):
        def __getitem__(self, index):
            raise KeyError("broken")

    error = raised(KeyError, probe.unsigned_list, Broken([], 1))
    assert notes(error) == ["while processing 'value'"]


# Notes -------------------------------------------------------------------------------------------------------------


class NoNotes(Exception):
    add_note = None


class FailingNotes(Exception):
    def add_note(self, note):
        raise RuntimeError("cannot note")


@pytest.mark.parametrize("exception_type", [NoNotes, FailingNotes])
def test_exception_without_usable_add_note_is_raised_unnoted(probe, exception_type):
    class Raising:
        def __index__(self):
            raise exception_type("original")

    error = raised(exception_type, probe.unsigned, Raising())
    assert str(error) == "original"
    assert notes(error) == []


def test_note_is_added_after_existing_notes(probe):
    class Raising:
        def __float__(self):
            error = ValueError("inner")
            error.add_note("first")
            raise error

    assert notes(raised(ValueError, probe.number, Raising())) == ["first", "while processing 'value'"]


# Optimizer attribute values ----------------------------------------------------------------------------------------


def numpy_like(name, truth, module="numpy"):
    """An object whose type is named like one of NumPy's (boolean scalars are recognised by that name, NumPy 1 and 2
    naming them differently), whose truth is `truth` (an exception to raise it); its __index__ gives 7 only when
    `truth` is a bool."""

    def index(self):
        if isinstance(truth, BaseException):
            raise TypeError("no index")
        return 7

    def as_bool(self):
        if isinstance(truth, BaseException):
            raise truth
        return truth

    return type(name, (), {"__module__": module, "__bool__": as_bool, "__index__": index})()


@pytest.mark.parametrize(
    "value, expected",
    [
        (True, ("bool", True)),
        (False, ("bool", False)),
        (np.bool_(True), ("bool", True)),
        (np.bool_(False), ("bool", False)),
        (numpy_like("bool_", truth=True), ("bool", True)),
        (numpy_like("bool", truth=False), ("bool", False)),
        (numpy_like("float64", truth=True), ("int", 7)),
        (numpy_like("bool_", truth=True, module=5), ("int", 7)),
        (1, ("int", 1)),
        (-1, ("int", -1)),
        (0, ("int", 0)),
        (-(2**63), ("int", -(2**63))),
        (2**63 - 1, ("int", 2**63 - 1)),
        (np.int64(5), ("int", 5)),
        (Index(3), ("int", 3)),
        (2**63, ("float", float(2**63))),
        (2**70, ("float", float(2**70))),
        (Index(2**70), ("float", float(2**70))),
        (1.0, ("float", 1.0)),
        (np.float64(2.5), ("float", 2.5)),
        (Floaty(), ("float", 2.5)),
    ],
)
def test_attribute_value_tries_bool_then_int_then_float(probe, value, expected):
    result = probe.attribute_value(value)
    assert result == expected and type(result[1]) is type(expected[1])


@pytest.mark.parametrize("value", ["0", None, [1], 10**400, Index(10**400), numpy_like("bool_", truth=TypeError())])
def test_attribute_value_refusal_has_no_note(probe, value):
    error = raised(TypeError, probe.attribute_value, value)
    assert str(error) == "COPT parameter value must be bool, int, or float"
    assert notes(error) == []


# Backend errors ----------------------------------------------------------------------------------------------------


@pytest.mark.parametrize("message", ["lower bounds has length 1, expected 2", "", "é"])
def test_backend_error_is_raised_as_runtime_error_with_its_display(probe, message):
    error = raised(RuntimeError, probe.fail_in_backend, message)
    assert type(error) is RuntimeError
    assert str(error) == f"Invalid input: {message}"
    assert notes(error) == []
    probe.touch()
