"""Interrupts and exceptions that are no conversion failure: a KeyboardInterrupt, SystemExit, MemoryError or any other
exception raised while an argument is read (its own methods, or its type's names) ends the call with that very
exception, and Ctrl-C stops a long conversion at once; either way the model stays as it was."""

import os
import subprocess
import sys

import pytest

from brenlox_copt import EnvrConfig, Model
from support.child import child_environment


class Sized:
    """A sequence read by iterating it, whose __len__ raises `error`."""

    def __init__(self, values, error):
        self.values, self.error = values, error

    def __len__(self):
        raise self.error

    def __getitem__(self, index):
        return self.values[index]


class Integer:
    """A value whose __index__ raises `error`."""

    def __init__(self, error):
        self.error = error

    def __index__(self):
        raise self.error


class Number:
    """A value that is no integer (its __index__ refuses, as a conversion that does not apply does) and whose
    __float__ raises `error`."""

    def __init__(self, error):
        self.error = error

    def __index__(self):
        raise TypeError("not an integer")

    def __float__(self):
        raise self.error


def badly_named(error, attribute):
    """An object whose type raises `error` when its `attribute` (__module__ or __qualname__) is read, as a metaclass
    or a signal arriving at that moment can: the module reads them to recognise NumPy and array types and to name
    a refused argument's type."""

    class Raising(type):
        def __getattribute__(cls, name):
            if name == attribute:
                raise error
            return super().__getattribute__(name)

    return Raising("BadlyNamed", (), {})()


# Where the exception is raised: (call on the model or the configuration, note of the argument).
READS = {
    "__module__ of a sequence's type": (
        lambda model, config, error: model.add_variables(2, lbs=badly_named(error, "__module__")), "lbs"),
    "__module__ of a parameter value's type": (
        lambda model, config, error: model.set_optimizer_attr("RelGap", badly_named(error, "__module__")), None),
    "__qualname__ of a refused sequence's type": (
        lambda model, config, error: model.add_variables(2, lbs=badly_named(error, "__qualname__")), "lbs"),
    "__qualname__ of a refused text's type": (
        lambda model, config, error: model.add_variable(name=badly_named(error, "__qualname__")), "name"),
    "length of a list": (lambda model, config, error: model.add_variables(2, lbs=Sized([0.0, 1.0], error)), "lbs"),
    "length of a row": (
        lambda model, config, error: model.add_constraints([Sized([0], error)], [[1.0]], [0.0], ["<"], [1.0]),
        "fs_vars",
    ),
    "__index__ of a parameter value": (
        lambda model, config, error: model.set_optimizer_attr("Logging", Integer(error)), None),
    "__float__ of a parameter value": (
        lambda model, config, error: model.set_optimizer_attr("RelGap", Number(error)), None),
    "__index__ of a configuration value": (lambda model, config, error: config.set("Port", Integer(error)), None),
}
ERRORS = {
    "KeyboardInterrupt": KeyboardInterrupt,
    "SystemExit": lambda: SystemExit(3),
    "MemoryError": MemoryError,
    "ValueError": lambda: ValueError("no such value"),
}


@pytest.mark.parametrize("error_kind", ERRORS)
@pytest.mark.parametrize("read", READS)
def test_exception_other_than_a_conversion_failure_ends_the_call(standin, read, error_kind):
    config, model = EnvrConfig(), Model()
    model.add_variable()
    standin.reset()
    call, parameter = READS[read]
    error = ERRORS[error_kind]()
    with pytest.raises(BaseException) as caught:
        call(model, config, error)
    assert caught.value is error
    assert getattr(error, "__notes__", []) == ([f"while processing '{parameter}'"] if parameter else [])
    assert standin.calls() == []
    # The counts are unchanged: the next ids continue from one variable and no constraint.
    assert (model.add_variable(), model.add_constraint([0], [1.0], 0.0, "<", 1.0)) == (1, 0)


# Ctrl-C during a long conversion. The child sends itself SIGINT with the C library's raise() and then makes the call,
# both reached through C code only (map calling partials): no Python code runs in between, and neither checks for
# signals (signal.raise_signal and os.kill would), so only the conversion's own check can raise the KeyboardInterrupt
# inside the call; unchecked, the call would run to its end first. Its address space is capped, so that a conversion
# that cannot be interrupted ends in MemoryError rather than starving the machine. It sets Python's own Ctrl-C handler
# itself: a shell without job control starts background commands with SIGINT ignored, and Python keeps that.
INTERRUPTED_CHILD = """
import ctypes, functools, operator, resource, signal, sys
signal.signal(signal.SIGINT, signal.default_int_handler)
resource.setrlimit(resource.RLIMIT_AS, (2**31, 2**31))
import numpy as np
from brenlox_copt import Model
model = Model()
model.add_variable()
method, args, kwargs = eval(sys.argv[1])
call = functools.partial(getattr(model, method), *args, **kwargs)
send_sigint = functools.partial(getattr(ctypes.CDLL(None), "raise"), signal.SIGINT)
try:
    list(map(operator.call, [send_sigint, call]))
except BaseException as error:
    print(type(error).__name__, getattr(error, "__notes__", []))
print(model.add_variable(), model.add_constraint([0], [1.0], 0.0, "<", 1.0))
"""
MANY = 2**18  # a batch that converts in well under a second, yet spans several checks of signals

# call: (method, positional arguments, keyword arguments) as text, and the argument being converted when interrupted.
LONG_CONVERSIONS = {
    "endless range": ("'add_variables', (3,), {'lbs': range(2**40)}", "lbs"),
    "endless NumPy broadcast": ("'add_variables', (3,), {'lbs': np.broadcast_to(0.0, (2**40,))}", "lbs"),
    "endless range as a row": ("'add_constraints', ([range(2**40)], [[1.0]], [0.0], ['<'], [1.0]), {}", "fs_vars"),
    "list of numbers": (f"'add_variables', ({MANY},), {{'lbs': [0.5] * {MANY}}}", "lbs"),
    "tuple of ids": (f"'set_objective', ((0,) * {MANY}, [1.0] * {MANY}, 0.0, 1), {{}}", "vars"),
    "buffer of numbers": (f"'add_variables', ({MANY},), {{'ubs': np.ones({MANY})}}", "ubs"),
    "buffer of ids": (f"'set_objective', (np.zeros({MANY}, dtype=np.int64), [1.0] * {MANY}, 0.0, 1), {{}}", "vars"),
    "2-D array of ids": (
        f"'add_constraints', (np.zeros(({MANY}, 2), dtype=np.int64), [], [], [], []), {{}}", "fs_vars"),
    "endless 2-D array of empty rows": ("'add_constraints', (np.empty((2**40, 0), dtype=np.int64), [], [], [], []), {}",
                                        "fs_vars"),
    "endless 2-D broadcast of coefficients": (
        "'add_constraints', ([], np.broadcast_to(1.0, (2**40, 2)), [], [], []), {}", "fs_coeffs"),
    "many short rows": (
        f"'add_constraints', ([[0]] * {MANY}, [[1.0]] * {MANY}, [0.0] * {MANY}, ['<'] * {MANY}, [1.0] * {MANY}), {{}}",
        "fs_vars",
    ),
}


@pytest.mark.skipif("libasan" in os.environ.get("LD_PRELOAD", ""), reason="AddressSanitizer reserves more address "
                    "space than the cap allows")
@pytest.mark.skipif(sys.platform == "win32", reason="the address-space cap needs the resource module, which is "
                    "POSIX only")
@pytest.mark.parametrize("conversion", LONG_CONVERSIONS)
def test_ctrl_c_stops_a_long_conversion(standin, conversion):
    pytest.importorskip("numpy")
    call, parameter = LONG_CONVERSIONS[conversion]
    completed = subprocess.run([sys.executable, "-c", INTERRUPTED_CHILD, call], capture_output=True, text=True,
                               timeout=120, check=False, env=child_environment())
    # Interrupted while converting (so with the argument's note), and the model untouched.
    assert completed.stdout.splitlines() == [f"KeyboardInterrupt [\"while processing '{parameter}'\"]", "1 0"], (
        completed.stderr)


# A signal handler is Python code run in the middle of a walk: one that empties the list being read ends the walk
# there, as the list's own iterator would end, rather than reading past the list's new end.
EMPTIED_BY_A_HANDLER_CHILD = """
import ctypes, functools, operator, signal
from brenlox_copt import Model
bounds = [0.5] * 2**17
signal.signal(signal.SIGINT, lambda *_: bounds.clear())
call = functools.partial(Model().add_variables, 2**17, lbs=bounds)
try:
    list(map(operator.call, [functools.partial(getattr(ctypes.CDLL(None), "raise"), signal.SIGINT), call]))
except RuntimeError as error:
    print(error)
"""


@pytest.mark.skipif(sys.platform == "win32", reason="the C library's raise() is reached by ctypes.CDLL(None)")
def test_list_emptied_by_a_signal_handler_ends_the_walk(standin):
    completed = subprocess.run([sys.executable, "-c", EMPTIED_BY_A_HANDLER_CHILD], capture_output=True, text=True,
                               timeout=120, check=False, env=child_environment())
    # The handlers run after the first 65,535 items.
    assert (completed.returncode, completed.stdout) == (
        0, "Invalid input: lower bounds has length 65535, expected 131072\n"), completed.stderr


# Ctrl-C during a solve: the solve holds the interpreter lock and checks no signals, so the interrupt comes only once
# optimize() has returned; its code is lost to the KeyboardInterrupt, the results are kept. The signal is pending before
# the solve starts (sent as in INTERRUPTED_CHILD): a solve that let it through would end without results.
INTERRUPTED_SOLVE_CHILD = """
import ctypes, functools, operator, signal
signal.signal(signal.SIGINT, signal.default_int_handler)
from brenlox_copt import Model
model = Model()
model.set_optimizer_attr("Silent", True)
x = model.add_variable(ub=3.0)
model.set_objective([x], [2.0], 1.0, 1)
send_sigint = functools.partial(getattr(ctypes.CDLL(None), "raise"), signal.SIGINT)
try:
    codes = list(map(operator.call, [send_sigint, model.optimize]))
except KeyboardInterrupt:
    print("KeyboardInterrupt", model.get_objective_value(), model.get_var_value(x))
else:
    print("not interrupted", codes)
"""


@pytest.mark.skipif(sys.platform == "win32", reason="the C library's raise() is reached by ctypes.CDLL(None)")
def test_ctrl_c_during_a_solve_comes_after_it_with_the_results_kept(standin):
    completed = subprocess.run([sys.executable, "-c", INTERRUPTED_SOLVE_CHILD], capture_output=True, text=True,
                               timeout=120, check=False, env=child_environment())
    assert (completed.returncode, completed.stdout) == (0, "KeyboardInterrupt 7.0 3.0\n"), completed.stderr
