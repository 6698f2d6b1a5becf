"""EnvrConfig: the native client configuration's creation and release, and set() with its value texts and failures."""

import decimal

import pytest

import brenlox_copt
from brenlox_copt import COPT, EnvrConfig
from support.lifecycle import (
    CREATOR_FAILURES,
    arm_creator,
    assert_nothing_left,
    creator_calls,
    failure_message,
)
from support.number_likes import Floaty, Index
from support.numpy_or_skip import np

VALUE_TYPE_ERROR = "COPT environment configuration value must be str, bool, int, or float"
NAME_NUL = "Invalid input: COPT environment configuration name contains an embedded NUL byte"
VALUE_NUL = "Invalid input: COPT environment configuration value contains an embedded NUL byte"


@pytest.fixture
def config(standin):
    config = EnvrConfig()
    standin.reset()
    return config


def sent(standin):
    """The (name, value) texts of every COPT_SetEnvConfig call."""
    calls = standin.calls("COPT_SetEnvConfig")
    assert all(call.args[0] == "config1" for call in calls)
    return [call.args[1:] for call in calls]


class IndexAndFloat(Index):
    def __float__(self):
        return 2.5


class Truthy:
    def __bool__(self):
        return True


class IntSubclass(int):
    pass


class StrSubclass(str):
    pass


# Creation and release -----------------------------------------------------------------------------------------------


def test_creation_and_release(standin):
    config = EnvrConfig()
    assert standin.calls() == [("COPT_CreateEnvConfig", ([None],))]
    assert standin.live() == {"configs": 1, "envs": 0, "problems": 0}
    del config
    assert standin.history() == ["load", "COPT_CreateEnvConfig", "COPT_DeleteEnvConfig", "unload"]
    assert standin.calls("COPT_DeleteEnvConfig") == [("COPT_DeleteEnvConfig", (["config1"],))]
    assert_nothing_left(standin)


@pytest.mark.parametrize("failure", CREATOR_FAILURES)
def test_creation_failure_leaves_nothing(standin, failure):
    arm_creator(standin, "COPT_CreateEnvConfig", failure)
    with pytest.raises(RuntimeError) as caught:
        EnvrConfig()
    assert str(caught.value) == failure_message("COPT_CreateEnvConfig", failure, "a configuration")
    # Unlike an environment, a configuration handed out with a failure is deleted before the message lookup.
    calls = creator_calls("COPT_CreateEnvConfig", failure, "COPT_DeleteEnvConfig", delete_first=True)
    assert standin.history() == ["load", *calls, "unload"]
    if failure == "status_with_handle":
        assert standin.calls("COPT_DeleteEnvConfig") == [("COPT_DeleteEnvConfig", (["config1"],))]
    assert_nothing_left(standin)


# Value texts --------------------------------------------------------------------------------------------------------


@pytest.mark.parametrize(
    "value, text",
    [
        # str first, unchanged
        ("abc", "abc"),
        ("", ""),
        ("12", "12"),
        ("é €", "é €"),
        (StrSubclass("sub"), "sub"),
        # bool before int
        (True, "1"),
        (False, "0"),
        (np.bool_(True), "1"),
        (np.bool_(False), "0"),
        # integers within signed 64 bits, exactly
        (0, "0"),
        (-5, "-5"),
        (2**63 - 1, "9223372036854775807"),
        (-(2**63), "-9223372036854775808"),
        (IntSubclass(7), "7"),
        (Index(42), "42"),
        (IndexAndFloat(3), "3"),
        (np.int64(-7), "-7"),
        (np.uint8(200), "200"),
        # beyond 64 bits: the nearest double, in its shortest digits
        (2**63, "9223372036854776000"),
        (2**64, "18446744073709552000"),
        (2**64 + 1, "18446744073709552000"),
        (-(2**63) - 1, "-9223372036854776000"),
        (Index(2**64), "18446744073709552000"),
        (np.uint64(2**64 - 1), "18446744073709552000"),
        # floats: shortest round-trip digits, positional
        (2.0, "2"),
        (0.1, "0.1"),
        (2.5, "2.5"),
        (-1.5, "-1.5"),
        (123.456, "123.456"),
        (1e21, "1" + "0" * 21),
        (1e30, "1" + "0" * 30),
        (1e-7, "0.0000001"),
        (5e-324, "0." + "0" * 323 + "5"),
        (1.7976931348623157e308, "17976931348623157" + "0" * 292),
        (-0.0, "-0"),
        (float("nan"), "NaN"),
        (-float("nan"), "NaN"),
        (float("inf"), "inf"),
        (float("-inf"), "-inf"),
        (np.float64(0.1), "0.1"),
        (np.float32(0.1), "0.10000000149011612"),
        (Floaty(0.75), "0.75"),
        (decimal.Decimal("2.5"), "2.5"),
    ],
)
def test_value_text(standin, config, value, text):
    assert config.set("Name", value) is None
    assert sent(standin) == [("Name", text)]


@pytest.mark.parametrize("value", [None, [1], (), {}, b"1", object(), Truthy(), 10**400, Index(10**400)])
def test_value_refused_without_a_native_call(standin, config, value):
    with pytest.raises(TypeError) as caught:
        config.set("Name", value)
    assert str(caught.value) == VALUE_TYPE_ERROR
    assert getattr(caught.value, "__notes__", []) == []
    assert standin.calls() == []


@pytest.mark.parametrize(
    "name, value, notes",
    [
        ("Name", "a\ud800", []),
        ("Name", StrSubclass("\udfff"), []),
        # as for the name, which is text with the argument note
        ("a\ud800", "value", ["while processing 'name'"]),
    ],
)
def test_unencodable_text_gets_the_encoding_error(standin, config, name, value, notes):
    with pytest.raises(UnicodeEncodeError) as caught:
        config.set(name, value)
    assert getattr(caught.value, "__notes__", []) == notes
    assert standin.calls() == []


def test_port_constant_with_an_int(standin, config):
    config.set(COPT.CLIENT_PORT, 80)
    assert standin.calls() == [("COPT_SetEnvConfig", ("config1", "Port", "80"))]


def test_name_must_be_text(standin, config):
    with pytest.raises(TypeError) as caught:
        config.set(5, 1)
    assert str(caught.value) == "'int' object is not an instance of 'str'"
    assert caught.value.__notes__ == ["while processing 'name'"]
    assert standin.calls() == []


@pytest.mark.parametrize(
    "name, value, exception_type, message",
    [
        ("Na\0me", "value", RuntimeError, NAME_NUL),
        ("Name", "va\0lue", RuntimeError, VALUE_NUL),
        ("Name", "\0", RuntimeError, VALUE_NUL),
        ("\0", "\0", RuntimeError, NAME_NUL),
        # the value is converted before either text is checked
        ("Na\0me", None, TypeError, VALUE_TYPE_ERROR),
    ],
)
def test_nul_checks_name_before_value(standin, config, name, value, exception_type, message):
    with pytest.raises(exception_type) as caught:
        config.set(name, value)
    assert type(caught.value) is exception_type
    assert str(caught.value) == message
    assert standin.calls() == []


# Failing COPT_SetEnvConfig ------------------------------------------------------------------------------------------

PREFIX = "COPT error in COPT_SetEnvConfig: code"


@pytest.mark.parametrize(
    "code, library_text, expected",
    [
        (6, "default", f"{PREFIX} 6: an argument value is invalid (type, bound, coefficient, constant or sense)"),
        (6, "  padded\t\r\n", f"{PREFIX} 6: padded"),
        (6, "\u3000\u2028\x85 wide \u00a0\u205f", f"{PREFIX} 6: wide"),
        (6, "inner  \u00a0 space", f"{PREFIX} 6: inner  \u00a0 space"),
        # no White_Space property: kept
        (6, "\u200bzero width\u200b", f"{PREFIX} 6: \u200bzero width\u200b"),
        (6, "\x1fseparator\x1f", f"{PREFIX} 6: \x1fseparator\x1f"),
        (6, b"bad \xff\xfe bytes", f"{PREFIX} 6: bad \ufffd\ufffd bytes"),
        (6, b"cut \xe2\x82", f"{PREFIX} 6: cut \ufffd"),
        (6, b"\xc3\xa9t\xc3\xa9", f"{PREFIX} 6: \u00e9t\u00e9"),
        (6, "a" * 1500, f"{PREFIX} 6: " + "a" * 999),  # the buffer holds 1000 bytes, NUL included
        # message ends after the code: empty, white space only, lookup failed
        (6, "", f"{PREFIX} 6"),
        (6, " \t\r\n", f"{PREFIX} 6"),
        (6, "\u00a0\u3000\u2029", f"{PREFIX} 6"),
        (6, None, f"{PREFIX} 6"),
        # negative codes keep their sign
        (-3, "negative", f"{PREFIX} -3: negative"),
        (-3, "default", f"{PREFIX} -3"),  # a code the stand-in cannot describe
        (-(2**31), None, f"{PREFIX} -2147483648"),
    ],
)
def test_failing_set(standin, config, code, library_text, expected):
    standin.fail("COPT_SetEnvConfig", code)
    if library_text != "default":
        standin.set_message(code, library_text)
    with pytest.raises(RuntimeError) as caught:
        config.set("Name", 1)
    assert type(caught.value) is RuntimeError
    assert str(caught.value) == expected
    assert standin.calls("COPT_GetRetcodeMsg") == [("COPT_GetRetcodeMsg", (code, standin.OUT, 1000))]
    # The configuration stays usable.
    config.set("Name", 2)
    assert sent(standin) == [("Name", "1"), ("Name", "2")]


# Lifetime with environments -----------------------------------------------------------------------------------------


def test_set_after_an_environment_was_made(standin, config):
    env = brenlox_copt.Env(config=config)
    config.set("WaitTime", 5)
    assert sent(standin) == [("WaitTime", "5")]
    del env


def test_environments_outlive_their_configuration(standin):
    config = EnvrConfig()
    env = brenlox_copt.Env(config=config)
    model = brenlox_copt.Model(config=config)
    del config
    assert standin.history()[-1] == "COPT_DeleteEnvConfig"
    assert standin.events() == ["load"]
    assert model.add_variable() == 0
    assert brenlox_copt.Model(env=env).add_variable() == 0
    del env, model
    assert standin.events() == ["load", "unload"]
    assert_nothing_left(standin)
