"""Child interpreter of tests/test_memory_exhaustion.py: runs each named operation again and again with the k-th
interpreter allocation after its start failing (k = 0, 1, ...), and prints one JSON line per operation with every try
whose outcome was neither the untouched outcome nor a memory failure, or after which the state had changed.
Usage: python -m support.memory_sweep <operation>..."""

from __future__ import annotations

import _imp
import gc
import importlib.util
import json
import os
import re
import sys
from collections.abc import Callable
from functools import partial

import _testcapi

# A sweep ends once this many tries in a row give the untouched outcome: k is then past the operation's last
# allocation (more than one, as a failure that the code clears on purpose also gives the untouched outcome).
SETTLED = 40
MAX_TRIES = 3000
# The internal failure that a failed append to the module's __all__ raises, whatever the append's error was.
APPEND_FAILURE = "could not append __name__ to __all__: "
# The downcast error's type name, which shows as "<failed to extract type name>" when it cannot be read.
DOWNCAST_WITHOUT_NAME = re.compile(r"^(builtins.TypeError: )'[^']*' object")


def caused_by_memory(error: BaseException | None) -> bool:
    """Whether the error is a MemoryError, the internal failure of a failed append to __all__, or was raised because
    of one (the class initialisation error carries its cause)."""
    while error is not None:
        if isinstance(error, MemoryError) or str(error).startswith(APPEND_FAILURE):
            return True
        error = error.__cause__
    return False


def run(call: Callable[[], object], k: int | None) -> tuple[str, bool]:
    """The call's outcome ("ok: <result>" or the error's type and message), with allocation k failing if k is set,
    and whether it failed for want of memory. The call is a C-level one (a partial of the module's own callables), so
    that no Python frame of ours comes and goes while allocations fail: the interpreter's frame teardown does not
    survive that in every version."""
    try:
        if k is not None:
            _testcapi.set_nomemory(k, k + 1)
        try:
            result = call()
        finally:
            _testcapi.remove_mem_hooks()
    except BaseException as error:  # noqa: BLE001 - every outcome is recorded
        return f"{type(error).__module__}.{type(error).__qualname__}: {error}", caused_by_memory(error)
    shown = repr(result) if isinstance(result, (int, float, str, list, tuple, type(None))) else type(result).__name__
    return f"ok: {shown}", False


# ---- Operations ------------------------------------------------------------------------------------------------------
# Each is (setup, operation, follow-up): setup (not faulted) returns a state; operation(state) returns the call that
# runs with the fault armed; follow_up(state) then runs untouched and must give what it gives after an untouched
# call, which shows that a failed call changed nothing.


def _extension():
    """A new module object of the extension, not yet executed."""
    return _imp.create_dynamic(importlib.util.find_spec("brenlox_copt"))


def _executed(module):
    _imp.exec_dynamic(module)
    return module.__all__


def _module():
    import brenlox_copt

    return brenlox_copt


def _model():
    """A model whose next variable and constraint ids are past the interpreter's cached small ints, so that returning
    them allocates."""
    model = _module().Model()
    model.set_optimizer_attr("Silent", True)
    model.add_variables(300)
    model.add_constraints([[]] * 300, [[]] * 300, [0.0] * 300, ["<"] * 300, [1.0] * 300)
    return model


def _solved():
    model = _model()
    model.set_objective([0, 1, 2], [1.0, 1.0, 1.0], 0.0, 0)
    model.optimize()
    return model


def _next_ids(model) -> tuple:
    return model.add_variables(1), model.add_constraint([0], [1.0], 0.0, "<", 1.0)


class Index:
    """An id given through __index__, so that the items are not plain ints."""

    def __init__(self, value: int) -> None:
        self.value = value

    def __index__(self) -> int:
        return self.value


OPERATIONS: dict[str, tuple[Callable, Callable, Callable]] = {
    # The module's types are created once per process, so each try of this one runs in a fresh copy of the process.
    "module execution": (_extension, lambda module: partial(_imp.exec_dynamic, module),
                         lambda _: _executed(_extension())),
    "COPT()": (_module, lambda module: module.COPT, lambda module: module.COPT.CLIENT_PORT),
    "Env()": (_module, lambda module: module.Env, lambda module: type(module.Env()).__name__),
    "EnvrConfig()": (_module, lambda module: module.EnvrConfig, lambda module: module.EnvrConfig().set("Port", 8)),
    "EnvrConfig.set": (_module, lambda module: partial(module.EnvrConfig().set, module.COPT.CLIENT_PORT, 7.5),
                       lambda module: module.EnvrConfig().set("Port", 8)),
    "Model()": (_module, lambda module: partial(module.Model, "m", env=module.Env()),
                lambda module: module.Model().add_variables(2)),
    "add_variables": (
        _model,
        lambda model: partial(model.add_variables, 3, names=["a", "b", "c"], vtypes=list("CBI"), lbs=(0, 1, 2),
                              ubs=range(5, 8)),
        _next_ids,
    ),
    "add_variable": (_model, lambda model: partial(model.add_variable, "v", "I", 0.5, 9), _next_ids),
    "add_constraint": (
        _model,
        lambda model: partial(model.add_constraint, [Index(0), 1, 2], [1.5, 2, 3.0], 0.25, ">", 1.0, "row"),
        _next_ids,
    ),
    "add_constraints": (
        _model,
        lambda model: partial(model.add_constraints, [[0, 1], (Index(2),), range(3)], [[1.0, 2.0], [3.0], (1, 1, 1)],
                              [0.0, 0.5, 1.0], ["<", "=", ">"], [4.0, 5.0, 6.0], ["r0", "r1", "r2"]),
        _next_ids,
    ),
    "set_objective": (
        _model,
        lambda model: partial(model.set_objective, [0, 1, 1], [1.0, 2.0, 0.5], 3.0, 1),
        lambda model: (model.optimize(), model.get_objective_value()),
    ),
    "optimize": (_model, lambda model: model.optimize, lambda model: model.get_objective_value()),
    "get_var_value": (_solved, lambda model: partial(model.get_var_value, 1), lambda model: model.get_var_value(2)),
    "get_objective_value": (_solved, lambda model: model.get_objective_value, lambda model: model.get_var_value(2)),
    "set_optimizer_attr": (
        _model,
        lambda model: partial(model.set_optimizer_attr, "TimeLimit", 5.0),
        lambda model: model.optimize(),
    ),
    # Calls that fail: with an allocation failing they fail with their own error or a MemoryError.
    "argument error": (_model, lambda model: partial(model.add_constraint, [0, "x"], [1.0, 1.0], 0, "<", 1),
                       _next_ids),
    "keyword error": (_model, lambda model: partial(model.add_variables, n=1, lbs=[0], colour=3), _next_ids),
    "backend error": (_model, lambda model: partial(model.add_constraint, [0, 900], [1.0, 1.0], 0, "<", 1), _next_ids),
    "downcast error": (_model, lambda model: partial(model.add_variables, 2, names={"a", "b"}), _next_ids),
}


def try_once(name: str, k: int | None, fresh_process: bool) -> tuple[str, bool, str]:
    """The outcome of the operation (allocation k failing; not run at all for k = -1), whether it was a memory failure,
    and the outcome of the follow-up; "crash: ..." when a forked try died."""
    setup, operation, follow_up = OPERATIONS[name]
    if not fresh_process:
        state = setup()
        outcome, memory = "not run", False
        if k != -1:
            call = operation(state)
            gc.collect()
            outcome, memory = run(call, k)
        return outcome, memory, run(partial(follow_up, state), None)[0]
    reader, writer = os.pipe()
    pid = os.fork()
    if pid == 0:
        os.close(reader)
        os.write(writer, json.dumps(try_once(name, k, fresh_process=False)).encode())
        # A normal exit (not os._exit), so that a coverage build writes its counters.
        sys.exit(0)
    os.close(writer)
    with os.fdopen(reader, "rb") as pipe:
        data = pipe.read()
    _, status = os.waitpid(pid, 0)
    if not data or status != 0:
        return f"crash: wait status {status}", False, ""
    outcome, memory, follow_up_outcome = json.loads(data)
    return outcome, memory, follow_up_outcome


def acceptable(outcome: str, memory: bool, follow_up: str, untouched: tuple[str, str], unchanged: str) -> bool:
    """Whether a faulted try did what the untouched call does, or failed for want of memory and changed nothing. A
    type name that could not be read shows as the documented stand-in text."""
    if outcome == untouched[0]:
        return follow_up == untouched[1]
    if memory:
        return follow_up == unchanged
    return DOWNCAST_WITHOUT_NAME.sub(r"\1'<failed to extract type name>' object", untouched[0]) == outcome



def sweep(name: str) -> dict:
    fresh_process = name == "module execution"
    expected_outcome, _, expected_follow_up = try_once(name, None, fresh_process=True)
    unchanged = try_once(name, -1, fresh_process=True)[2]
    unexpected = {}
    settled = 0
    k = 0
    while settled < SETTLED and k < MAX_TRIES:
        outcome, memory, follow_up = try_once(name, k, fresh_process)
        if not acceptable(outcome, memory, follow_up, (expected_outcome, expected_follow_up), unchanged):
            unexpected[k] = [outcome, follow_up]
        settled = settled + 1 if outcome == expected_outcome else 0
        k += 1
    return {"operation": name, "expected": [expected_outcome, expected_follow_up], "tries": k,
            "unexpected": unexpected}


if __name__ == "__main__":
    for operation_name in sys.argv[1:]:
        print(json.dumps(sweep(operation_name)), flush=True)
