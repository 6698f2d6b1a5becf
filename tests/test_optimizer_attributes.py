"""Model.set_optimizer_attr: the attribute names, the bool / int / float order of values, the checks of Silent,
TimeLimit and raw parameters, and the exact parameter calls the solver receives."""

import math
from decimal import Decimal

import pytest

from support.models import fresh_model
from support.number_likes import Index
from support.numpy_or_skip import np

NOT_A_VALUE = "COPT parameter value must be bool, int, or float"
UNKNOWN = "code 8: unknown parameter name"  # the stand-in's answer to a parameter name it does not know


class FloatWithBrokenIndex:
    """A number whose __index__ refuses as a conversion that does not apply does, to be passed over for __float__."""

    def __index__(self):
        raise TypeError("not an integer")

    def __float__(self):
        return 2.5


class Text(str):
    pass


@pytest.fixture
def model(standin):
    model = fresh_model(silent=None)
    standin.reset()  # the log starts after construction
    return model


def parameter_calls(standin):
    return standin.calls("COPT_SetIntParam", "COPT_SetDblParam")


def notes(error):
    return getattr(error, "__notes__", [])


def refused(model, attr, value, exception_type=RuntimeError):
    with pytest.raises(exception_type) as caught:
        model.set_optimizer_attr(attr, value)
    return caught.value


# Silent and TimeLimit ------------------------------------------------------------------------------------------------


@pytest.mark.parametrize(
    "attr, value, call",
    [
        ("Silent", True, ("COPT_SetIntParam", ("prob1", "Logging", 0))),
        ("Silent", False, ("COPT_SetIntParam", ("prob1", "Logging", 1))),
        ("Silent", np.True_, ("COPT_SetIntParam", ("prob1", "Logging", 0))),
        ("Silent", np.bool_(False), ("COPT_SetIntParam", ("prob1", "Logging", 1))),
        (Text("Silent"), True, ("COPT_SetIntParam", ("prob1", "Logging", 0))),
        ("TimeLimit", 10.0, ("COPT_SetDblParam", ("prob1", "TimeLimit", 10.0))),
        ("TimeLimit", 0.0, ("COPT_SetDblParam", ("prob1", "TimeLimit", 0.0))),
        ("TimeLimit", 1e300, ("COPT_SetDblParam", ("prob1", "TimeLimit", 1e300))),
        ("TimeLimit", np.float64(0.25), ("COPT_SetDblParam", ("prob1", "TimeLimit", 0.25))),
        ("TimeLimit", Decimal("2.5"), ("COPT_SetDblParam", ("prob1", "TimeLimit", 2.5))),
        # Beyond 64 bits an integer is a float, and a float is what TimeLimit takes.
        ("TimeLimit", 2**70, ("COPT_SetDblParam", ("prob1", "TimeLimit", 2.0**70))),
    ],
)
def test_named_attribute_sets_its_parameter(standin, model, attr, value, call):
    assert model.set_optimizer_attr(attr, value) is None
    assert parameter_calls(standin) == [call]
    _, (_, name, sent) = call
    assert standin.problem().parameters == {name: sent}


def test_time_limit_of_negative_zero_is_passed_unchanged(standin, model):
    model.set_optimizer_attr("TimeLimit", -0.0)
    [(name, (_, parameter, sent))] = parameter_calls(standin)
    assert (name, parameter, sent) == ("COPT_SetDblParam", "TimeLimit", 0.0)
    assert math.copysign(1.0, sent) == -1.0


@pytest.mark.parametrize(
    "attr, value, message",
    [
        ("Silent", 1, "Silent requires a boolean value"),
        ("Silent", 0, "Silent requires a boolean value"),
        ("Silent", 1.0, "Silent requires a boolean value"),
        ("Silent", np.int64(1), "Silent requires a boolean value"),
        ("TimeLimit", 10, "TimeLimit requires a floating-point value"),
        ("TimeLimit", True, "TimeLimit requires a floating-point value"),
        ("TimeLimit", np.int64(10), "TimeLimit requires a floating-point value"),
        ("TimeLimit", Index(10), "TimeLimit requires a floating-point value"),
        ("TimeLimit", -1.0, "TimeLimit must be finite and nonnegative"),
        ("TimeLimit", -5e-324, "TimeLimit must be finite and nonnegative"),
        ("TimeLimit", -(2**70), "TimeLimit must be finite and nonnegative"),
        ("TimeLimit", math.inf, "TimeLimit must be finite and nonnegative"),
        ("TimeLimit", -math.inf, "TimeLimit must be finite and nonnegative"),
        ("TimeLimit", math.nan, "TimeLimit must be finite and nonnegative"),
    ],
)
def test_named_attribute_refuses_a_value_before_any_call(standin, model, attr, value, message):
    error = refused(model, attr, value)
    assert type(error) is RuntimeError and error.args == (f"Invalid input: {message}",)
    assert notes(error) == []
    assert standin.calls() == []
    assert standin.problem().parameters == {}


# Raw parameters ----------------------------------------------------------------------------------------------------


@pytest.mark.parametrize(
    "attr, value, call",
    [
        ("Logging", 0, ("COPT_SetIntParam", ("prob1", "Logging", 0))),
        ("Logging", True, ("COPT_SetIntParam", ("prob1", "Logging", 1))),
        ("Logging", False, ("COPT_SetIntParam", ("prob1", "Logging", 0))),
        ("RelGap", 0.5, ("COPT_SetDblParam", ("prob1", "RelGap", 0.5))),
        ("IntTol", Decimal("0.001"), ("COPT_SetDblParam", ("prob1", "IntTol", 0.001))),
    ],
)
def test_raw_parameter_reaches_the_solver(standin, model, attr, value, call):
    model.set_optimizer_attr(attr, value)
    assert parameter_calls(standin) == [call]
    _, (_, name, sent) = call
    assert standin.problem().parameters == {name: sent}


@pytest.mark.parametrize(
    "attr, value, call, message",
    [
        # Only the exact names are the named attributes; everything else goes to the solver as it is.
        ("silent", True, ("COPT_SetIntParam", ("prob1", "silent", 1)), f"COPT_SetIntParam(Raw): {UNKNOWN}"),
        ("SILENT", False, ("COPT_SetIntParam", ("prob1", "SILENT", 0)), f"COPT_SetIntParam(Raw): {UNKNOWN}"),
        ("timelimit", 10.0, ("COPT_SetDblParam", ("prob1", "timelimit", 10.0)), f"COPT_SetDblParam(Raw): {UNKNOWN}"),
        ("TimeLimit ", 1.0, ("COPT_SetDblParam", ("prob1", "TimeLimit ", 1.0)), f"COPT_SetDblParam(Raw): {UNKNOWN}"),
        ("", 1, ("COPT_SetIntParam", ("prob1", "", 1)), f"COPT_SetIntParam(Raw): {UNKNOWN}"),
        ("Lögging ✓", 1, ("COPT_SetIntParam", ("prob1", "Lögging ✓", 1)), f"COPT_SetIntParam(Raw): {UNKNOWN}"),
        # The 32-bit edges are passed on; the solver's own range for Logging is 0 to 1.
        (
            "Logging",
            2**31 - 1,
            ("COPT_SetIntParam", ("prob1", "Logging", 2**31 - 1)),
            "COPT_SetIntParam(Raw): code 10: the parameter value is out of range",
        ),
        (
            "Logging",
            -(2**31),
            ("COPT_SetIntParam", ("prob1", "Logging", -(2**31))),
            "COPT_SetIntParam(Raw): code 10: the parameter value is out of range",
        ),
        # Negative floats are the solver's to judge.
        (
            "RelGap",
            -1.0,
            ("COPT_SetDblParam", ("prob1", "RelGap", -1.0)),
            "COPT_SetDblParam(Raw): code 10: the parameter value is out of range",
        ),
        # A kind the solver does not expect for the name is its refusal too.
        (
            "RelGap",
            1,
            ("COPT_SetIntParam", ("prob1", "RelGap", 1)),
            "COPT_SetIntParam(Raw): code 9: the parameter has the other type (integer or double)",
        ),
        (
            "Logging",
            2**70,
            ("COPT_SetDblParam", ("prob1", "Logging", 2.0**70)),
            "COPT_SetDblParam(Raw): code 9: the parameter has the other type (integer or double)",
        ),
    ],
)
def test_raw_parameter_refused_by_the_solver(standin, model, attr, value, call, message):
    error = refused(model, attr, value)
    assert type(error) is RuntimeError and error.args == (f"COPT error in {message}",)
    assert parameter_calls(standin) == [call]
    assert standin.problem().parameters == {}


@pytest.mark.parametrize(
    "attr, value, message",
    [
        ("Logging", 2**31, "raw COPT integer parameter exceeds c_int range"),
        ("Logging", -(2**31) - 1, "raw COPT integer parameter exceeds c_int range"),
        ("Logging", 2**63 - 1, "raw COPT integer parameter exceeds c_int range"),
        ("Logging", -(2**63), "raw COPT integer parameter exceeds c_int range"),
        ("Logging", np.int64(2**40), "raw COPT integer parameter exceeds c_int range"),
        ("RelGap", math.nan, "raw COPT floating-point parameter must be finite, got NaN"),
        ("RelGap", math.inf, "raw COPT floating-point parameter must be finite, got inf"),
        ("RelGap", -math.inf, "raw COPT floating-point parameter must be finite, got -inf"),
        ("", np.float64("nan"), "raw COPT floating-point parameter must be finite, got NaN"),
        # The name is tested before the value.
        ("Log\0ging", 0, "raw COPT parameter name contains an embedded NUL byte"),
        ("\0", True, "raw COPT parameter name contains an embedded NUL byte"),
        ("Logging\0", 2**40, "raw COPT parameter name contains an embedded NUL byte"),
        ("Rel\0Gap", math.nan, "raw COPT parameter name contains an embedded NUL byte"),
        ("Rel\0Gap", -math.inf, "raw COPT parameter name contains an embedded NUL byte"),
    ],
)
def test_raw_parameter_refused_before_any_call(standin, model, attr, value, message):
    error = refused(model, attr, value)
    assert type(error) is RuntimeError and error.args == (f"Invalid input: {message}",)
    assert notes(error) == []
    assert standin.calls() == []


# Value conversion order --------------------------------------------------------------------------------------------


@pytest.mark.parametrize(
    "value, entry_point, sent",
    [
        (True, "COPT_SetIntParam", 1),
        (np.True_, "COPT_SetIntParam", 1),
        (7, "COPT_SetIntParam", 7),
        (-7, "COPT_SetIntParam", -7),
        (np.int64(-3), "COPT_SetIntParam", -3),
        (np.uint8(200), "COPT_SetIntParam", 200),
        (Index(5), "COPT_SetIntParam", 5),
        (1.0, "COPT_SetDblParam", 1.0),
        (np.float32(0.5), "COPT_SetDblParam", 0.5),
        (Decimal("-2.5"), "COPT_SetDblParam", -2.5),
        (FloatWithBrokenIndex(), "COPT_SetDblParam", 2.5),
        (2**63, "COPT_SetDblParam", 2.0**63),
        (-(2**63) - 1, "COPT_SetDblParam", -(2.0**63)),
        (2**70, "COPT_SetDblParam", 2.0**70),
        (-(2**70), "COPT_SetDblParam", -(2.0**70)),
    ],
)
def test_value_becomes_the_first_kind_that_takes_it(standin, model, value, entry_point, sent):
    # An unknown name lets every value through to the solver, which then shows the kind by the call it receives.
    error = refused(model, "Custom", value)
    assert str(error) == f"COPT error in {entry_point}(Raw): {UNKNOWN}"
    [(name, (_, _, received))] = parameter_calls(standin)
    assert (name, received) == (entry_point, sent) and type(received) is type(sent)


# A raw name with a NUL byte is judged only after the value has been converted.
@pytest.mark.parametrize("attr", ["Silent", "TimeLimit", "Logging", "Log\0ging"])
@pytest.mark.parametrize("value", ["0", None, b"1", [1], 1j, 10**400, object()])
def test_value_of_no_kind_is_a_type_error_without_a_note(standin, model, attr, value):
    error = refused(model, attr, value, TypeError)
    assert type(error) is TypeError and error.args == (NOT_A_VALUE,)
    assert not hasattr(error, "__notes__")
    assert standin.calls() == []


@pytest.mark.parametrize(
    "attr, error_type, message",
    [
        (5, TypeError, "'int' object is not an instance of 'str'"),
        (None, TypeError, "'None' is not an instance of 'str'"),
        (b"Silent", TypeError, "'bytes' object is not an instance of 'str'"),
        ("\udc80", UnicodeEncodeError, None),
    ],
)
def test_attribute_name_must_be_text(standin, model, attr, error_type, message):
    # The name is converted first: a value of no kind is never looked at.
    error = refused(model, attr, "0", error_type)
    assert type(error) is error_type
    if message is not None:
        assert error.args == (message,)
    assert error.__notes__ == ["while processing 'attr'"]
    assert standin.calls() == []


def test_parameters_live_in_the_problem(standin, model):
    model.set_optimizer_attr("Silent", True)
    model.set_optimizer_attr("TimeLimit", 3.0)
    model.set_optimizer_attr("Silent", False)
    model.set_optimizer_attr("RelGap", 0.01)
    assert standin.problem().parameters == {"Logging": 1, "TimeLimit": 3.0, "RelGap": 0.01}


@pytest.mark.parametrize(
    "attr, value, entry_point, label",
    [
        ("Silent", True, "COPT_SetIntParam", "COPT_SetIntParam(Logging)"),
        ("TimeLimit", 1.0, "COPT_SetDblParam", "COPT_SetDblParam(TimeLimit)"),
        ("Logging", 1, "COPT_SetIntParam", "COPT_SetIntParam(Raw)"),
        ("RelGap", 0.1, "COPT_SetDblParam", "COPT_SetDblParam(Raw)"),
    ],
)
def test_failed_parameter_call_is_labelled(standin, model, attr, value, entry_point, label):
    standin.fail(entry_point, 15)
    error = refused(model, attr, value)
    assert error.args == (f"COPT error in {label}: code 15: the engine failed",)
    assert standin.problem().parameters == {}
    model.set_optimizer_attr(attr, value)  # a later call goes through
    assert len(standin.problem().parameters) == 1
