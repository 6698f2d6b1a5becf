"""Fault injection at every native call: each constructor and method is run once untouched to fix its call sequence,
then again with its k-th native call failing (once or persistently, with a described or undescribed code, creators
also with a handle that comes back with the failure and with a null handle), for every k. After each fault the
exception is exact, nothing the solver or the model holds has changed, a later edit and solve match a twin that never
failed, and everything is released once, problem before environment before unload. Deleters, whose status the module
ignores, are faulted in a child process, because a handle they refuse to delete stays alive until the process ends."""

from __future__ import annotations

import json
import os
import subprocess
import sys
from collections.abc import Callable
from dataclasses import dataclass, field
from pathlib import Path

import pytest

from brenlox_copt import Env, EnvrConfig, Model
from support.loader_platform import assert_loader_failure
from support.release_order import assert_released_once_in_order

DESCRIBED = 6  # a code the stand-in describes with the text below
DESCRIBED_TEXT = "an argument value is invalid (type, bound, coefficient, constant or sense)"
LOOKUP_FAILURE = 3  # what COPT_GetRetcodeMsg returns when the lookup itself is faulted
NEVER = 2**62  # arming the nth call this far ahead disarms an entry point without clearing the log

DELETERS = {
    "COPT_CreateEnvConfig": "COPT_DeleteEnvConfig",
    "COPT_CreateEnv": "COPT_DeleteEnv",
    "COPT_CreateEnvWithConfig": "COPT_DeleteEnv",
    "COPT_CreateProb": "COPT_DeleteProb",
}
RETURNED = {
    "COPT_CreateEnvConfig": "a configuration",
    "COPT_CreateEnv": "an environment",
    "COPT_CreateEnvWithConfig": "an environment",
    "COPT_CreateProb": "a problem",
}

# Every native call site of the module, as (entry point, operation label). A label names the site the way its error
# message does; the raw integer parameter has two sites (an int and a bool value) under one label.
CALL_SITES = {
    ("COPT_GetRetcodeMsg", "message lookup"),
    ("COPT_CreateEnvConfig", "COPT_CreateEnvConfig"),
    ("COPT_SetEnvConfig", "COPT_SetEnvConfig"),
    ("COPT_CreateEnv", "COPT_CreateEnv"),
    ("COPT_CreateEnvWithConfig", "COPT_CreateEnvWithConfig"),
    ("COPT_CreateProb", "COPT_CreateProb"),
    ("COPT_AddCols", "COPT_AddCols"),
    ("COPT_AddRows", "COPT_AddRows"),
    ("COPT_SetColObj", "COPT_SetColObj"),
    ("COPT_SetObjConst", "COPT_SetObjConst"),
    ("COPT_SetObjSense", "COPT_SetObjSense"),
    ("COPT_SetIntParam", "COPT_SetIntParam(Logging)"),
    ("COPT_SetDblParam", "COPT_SetDblParam(TimeLimit)"),
    ("COPT_SetIntParam", "COPT_SetIntParam(Raw) int"),
    ("COPT_SetIntParam", "COPT_SetIntParam(Raw) bool"),
    ("COPT_SetDblParam", "COPT_SetDblParam(Raw)"),
    ("COPT_Update", "COPT_Update"),
    ("COPT_Solve", "COPT_Solve"),
    ("COPT_GetIntAttr", "COPT_GetIntAttr(Status)"),
    ("COPT_GetIntAttr", "COPT_GetIntAttr(HasSol)"),
    ("COPT_GetIntAttr", "COPT_GetIntAttr(IsMIP)"),
    ("COPT_GetSolution", "COPT_GetSolution"),
    ("COPT_GetLpSolution", "COPT_GetLpSolution"),
    ("COPT_GetDblAttr", "COPT_GetDblAttr(ObjVal)"),
    ("COPT_DeleteEnvConfig", "release"),
    ("COPT_DeleteEnvConfig", "creation cleanup"),
    ("COPT_DeleteEnv", "release"),
    ("COPT_DeleteEnv", "creation cleanup"),
    ("COPT_DeleteProb", "release"),
    ("COPT_DeleteProb", "creation cleanup"),
}


def entry_point(label: str) -> str:
    return label.split("(")[0]


# The model every method works on, and the edit and solve that follow a fault ------------------------------------------


def build(model: Model, mip: bool = False) -> Model:
    """Two variables, two rows, an objective and a solve, so that there are cached results to keep."""
    model.set_optimizer_attr("Silent", True)
    model.add_variables(2, ["a", "b"], ["I" if mip else "C", "C"], [0.0, -1.0], [4.0, 3.5])
    model.add_constraints([[0, 1], [1]], [[1.0, 1.0], [2.0]], [0.0, 1.0], ["<", ">"], [5.0, -3.0], ["r", "s"])
    model.set_objective([0, 1], [1.0, 2.0], 0.5, 1)
    model.optimize()
    return model


def results(model: Model) -> list:
    """What a model reports: the cached values (one past the end included) and the objective value."""
    return [model.get_var_value(index) for index in range(8)] + [model.get_objective_value()]


def follow_up(model: Model) -> list:
    """An edit of every kind and a solve; the ids returned show the model's counts."""
    variable = model.add_variable("z", "C", 0.0, 2.0)
    row = model.add_constraint([0, variable], [1.0, 1.0], 0.0, "<", 3.0)
    model.set_objective(list(range(variable + 1)), [1.0] * (variable + 1), 0.0, 1)
    return [variable, row, model.optimize(), *results(model)]


def content(problem) -> tuple:
    """A problem as the solver holds it, without the names of its handles."""
    return (problem.columns, problem.rows, problem.objective_constant, problem.objective_sense, problem.parameters)


# Operations -----------------------------------------------------------------------------------------------------------


@dataclass(frozen=True)
class Operation:
    """One constructor or method call. `subject` makes what the call works on (None for constructors without inputs),
    `run` makes the call, `model_of` turns a constructor's result into a model for the follow-up, and `labels` is the
    untouched call's sequence of native calls."""

    name: str
    run: Callable
    labels: tuple[str, ...]
    subject: Callable
    model_of: Callable | None = None
    loads: bool = False  # the call loads its own library, which a failure must unload again

    @property
    def constructs(self) -> bool:
        return self.model_of is not None


def method(name, run, labels, mip=False):
    """A method called on a built and solved model."""
    return Operation(name, run, labels, subject=lambda: build(Model(), mip))


def set_attr(attr, value):
    return lambda model: model.set_optimizer_attr(attr, value)


def nothing():
    return None


def constructor(name, run, labels, model_of, subject=nothing):
    """A constructor (or the configuration's `set`); without an input object it loads its own library."""
    return Operation(name, run, labels, subject=subject, model_of=model_of, loads=subject is nothing)


SOLVE_HEAD = ("COPT_Solve", "COPT_GetIntAttr(Status)", "COPT_GetIntAttr(HasSol)", "COPT_GetIntAttr(IsMIP)")
OBJECTIVE = ("COPT_SetColObj", "COPT_SetObjConst", "COPT_SetObjSense")
METHODS = [
    method("add_variable", lambda m: m.add_variable("y", "I", -1.0, 5.0), ("COPT_AddCols",)),
    method("add_variables", lambda m: m.add_variables(2, ["p", "q"], ["C", "B"]), ("COPT_AddCols",)),
    method("add_constraint", lambda m: m.add_constraint([0, 1], [1.0, -1.0], 0.5, ">", -2.0), ("COPT_AddRows",)),
    method(
        "add_constraints",
        lambda m: m.add_constraints([[0], [1]], [[1.0], [2.0]], [0.0, 0.0], ["<", "="], [3.0, 1.0]),
        ("COPT_AddRows",),
    ),
    method("set_objective", lambda m: m.set_objective([1, 0], [3.0, 1.0], 2.0, 0), OBJECTIVE),
    method("update", lambda m: m.update(), ("COPT_Update",)),
    method("optimize LP", lambda m: m.optimize(), (*SOLVE_HEAD, "COPT_GetLpSolution", "COPT_GetDblAttr(ObjVal)")),
    method("optimize MIP", lambda m: m.optimize(), (*SOLVE_HEAD, "COPT_GetSolution", "COPT_GetDblAttr(ObjVal)"), True),
    method("Silent", set_attr("Silent", False), ("COPT_SetIntParam(Logging)",)),
    method("TimeLimit", set_attr("TimeLimit", 7.5), ("COPT_SetDblParam(TimeLimit)",)),
    method("raw int", set_attr("Logging", 1), ("COPT_SetIntParam(Raw) int",)),
    method("raw bool", set_attr("Logging", True), ("COPT_SetIntParam(Raw) bool",)),
    method("raw float", set_attr("RelGap", 0.25), ("COPT_SetDblParam(Raw)",)),
    method("get_var_value", lambda m: m.get_var_value(1), ()),
    method("get_objective_value", lambda m: m.get_objective_value(), ()),
]

CONSTRUCTORS = [
    constructor("EnvrConfig()", lambda _: EnvrConfig(), ("COPT_CreateEnvConfig",),
                lambda config, _: Model(config=config)),
    constructor("EnvrConfig.set", lambda config: config.set("Port", 80), ("COPT_SetEnvConfig",),
                lambda _, config: Model(config=config), EnvrConfig),
    constructor("Env()", lambda _: Env(), ("COPT_CreateEnv",), lambda env, _: Model(env=env)),
    constructor("Env(config)", lambda config: Env(config=config), ("COPT_CreateEnvWithConfig",),
                lambda env, _: Model(env=env), EnvrConfig),
    constructor("Model()", lambda _: Model(), ("COPT_CreateEnv", "COPT_CreateProb"), lambda model, _: model),
    constructor("Model(env)", lambda env: Model(env=env), ("COPT_CreateProb",), lambda model, _: model, Env),
    constructor("Model(config)", lambda config: Model(config=config), ("COPT_CreateEnvWithConfig", "COPT_CreateProb"),
                lambda model, _: model, EnvrConfig),
]
OPERATIONS = {operation.name: operation for operation in CONSTRUCTORS + METHODS}

# Ways of failing: a described code once or persistently, a code whose description cannot be looked up, and for
# creators a handle that comes back with the failure and a null handle with success.
FAULTS = ("once", "persistent", "lookup fails")
CREATOR_FAULTS = ("with handle", "null handle")


def cases():
    for operation in OPERATIONS.values():
        for k, label in enumerate(operation.labels, start=1):
            faults = FAULTS + (CREATOR_FAULTS if entry_point(label) in DELETERS else ())
            for fault in faults:
                yield pytest.param(operation.name, k, fault, id=f"{operation.name}-{k}-{fault}")


ALL_CASES = list(cases())


def faulted_sites(case):
    """The call sites one case fails: the labelled one, and the message lookup when it fails too."""
    name, k, fault = case.values
    label = OPERATIONS[name].labels[k - 1]
    lookup = {("COPT_GetRetcodeMsg", "message lookup")} if fault == "lookup fails" else set()
    return {(entry_point(label), label)} | lookup


@dataclass
class Scene:
    """The objects of one test; `release` drops them all and checks what the solver saw."""

    standin: object
    held: list = field(default_factory=list)

    def keep(self, *objects):
        self.held.extend(item for item in objects if item is not None)

    def release(self):
        owners = {problem.handle: problem.env for problem in self.standin.problems()}
        mark, mark_history = len(self.standin.calls()), len(self.standin.history())
        self.held.clear()
        self.standin.collect_native_garbage()
        released = self.standin.calls()[mark:]
        assert all(call.name.startswith("COPT_Delete") for call in released), released
        assert_released_once_in_order(self.standin.history()[mark_history:], released, owners)
        assert_nothing_left(self.standin)


def assert_nothing_left(standin):
    assert standin.live() == {"configs": 0, "envs": 0, "problems": 0}
    assert standin.loaded() == 0


@pytest.fixture
def scene(standin):
    scene = Scene(standin)
    yield scene
    scene.release()


def arm(standin, label, nth, fault):
    name = entry_point(label)
    if fault == "null handle":
        standin.null_handle(name, nth)
    else:
        standin.fail(name, DESCRIBED, nth, persistent=fault == "persistent", with_handle=fault == "with handle")
    if fault == "lookup fails":
        standin.fail("COPT_GetRetcodeMsg", LOOKUP_FAILURE)


def disarm(standin):
    for name in standin.entry_points()[1:]:
        standin.fail(name, DESCRIBED, NEVER)


def expected_message(label, fault):
    operation = label.removesuffix(" int").removesuffix(" bool")
    if fault == "null handle":
        return f"Backend state error: {operation} succeeded without returning {RETURNED[operation]}"
    if fault == "lookup fails":
        return f"COPT error in {operation}: code {DESCRIBED}"
    return f"COPT error in {operation}: code {DESCRIBED}: {DESCRIBED_TEXT}"


def expected_log(operation, k, fault):
    """The calls a fault at the k-th call causes: the calls before it, itself, the message lookup, the deletion of a
    handle that came with the failure (environments look the message up first), the release of what the call made
    before, newest first, and the unload of a library it loaded."""
    done = [entry_point(label) for label in operation.labels[:k]]
    failed = done[-1]
    lookup = [] if fault == "null handle" else ["COPT_GetRetcodeMsg"]
    if fault == "with handle":
        deleter = [DELETERS[failed]]
        tail = lookup + deleter if failed in ("COPT_CreateEnv", "COPT_CreateEnvWithConfig") else deleter + lookup
    else:
        tail = lookup
    tail += [DELETERS[name] for name in reversed(done[:-1]) if name in DELETERS]
    if operation.loads:
        return ["load", *done, *tail, "unload"]
    return [*done, *tail]


def assert_faulted(log, k, label, fault):
    """The log shows the faulted call site as the k-th call, failing (and the lookup failing, when it is faulted)."""
    faulted = log[k - 1]
    assert faulted.name == entry_point(label)
    assert faulted.code == (0 if fault == "null handle" else DESCRIBED)
    if fault == "lookup fails":
        assert [call.code for call in log if call.name == "COPT_GetRetcodeMsg"] == [LOOKUP_FAILURE]


def snapshot(standin, subject):
    state = (standin.problems(), standin.live(), standin.loaded())
    return state + ((results(subject),) if isinstance(subject, Model) else ())


# The untouched calls ---------------------------------------------------------------------------------------------------


@pytest.mark.parametrize("name", OPERATIONS)
def test_untouched_call_makes_exactly_its_calls(standin, scene, name):
    operation = OPERATIONS[name]
    subject = operation.subject()
    scene.keep(subject)
    # Any call beyond the expected ones would fail.
    labels = [entry_point(label) for label in operation.labels]
    for entry in standin.entry_points()[1:]:
        standin.fail(entry, DESCRIBED, labels.count(entry) + 1, persistent=True)
    mark = len(standin.history())
    result = operation.run(subject)
    scene.keep(result)
    log = standin.history()[mark:]
    assert [item for item in log if not item.startswith(("load", "unload"))] == labels
    disarm(standin)


# The k-th call fails ---------------------------------------------------------------------------------------------------


@pytest.mark.parametrize("name, k, fault", ALL_CASES)
def test_fault_at_kth_call(standin, scene, name, k, fault):
    operation = OPERATIONS[name]
    subject = operation.subject()
    twin = operation.subject() if isinstance(subject, Model) else None
    scene.keep(subject, twin)
    before = snapshot(standin, subject)
    label = operation.labels[k - 1]
    nth = [entry_point(item) for item in operation.labels[:k]].count(entry_point(label))
    arm(standin, label, nth, fault)
    mark = len(standin.calls())
    mark_history = len(standin.history())

    with pytest.raises(RuntimeError) as caught:
        scene.keep(operation.run(subject))
    assert type(caught.value) is RuntimeError
    assert str(caught.value) == expected_message(label, fault)
    assert not hasattr(caught.value, "__notes__")
    assert standin.history()[mark_history:] == expected_log(operation, k, fault)
    assert_faulted(standin.calls()[mark:], k, label, fault)
    del caught

    after = snapshot(standin, subject)
    if name == "set_objective" and k > 1:
        # The coefficients (and after them the constant) stay sent: the three calls are not undone. The problem has
        # changed, so the results of the last solve no longer describe it and are cleared.
        problem = before[0][0]
        for column, coefficient in zip(problem.columns, (1.0, 3.0)):
            column.objective = coefficient
        if k == 3:
            problem.objective_constant = 2.0
        assert after[:3] == before[:3]
        assert after[3] == [None] * 9
    elif name.startswith("optimize"):
        # A failed solve leaves no cached results.
        assert after[:3] == before[:3]
        assert after[3] == [None] * 9
    else:
        assert after == before

    disarm(standin)
    if operation.constructs:
        made = operation.run(subject)
        model = operation.model_of(made, subject)
        twin = Model()
        scene.keep(made, model, twin)
        assert follow_up(build(model)) == follow_up(build(twin))
    else:
        assert follow_up(subject) == follow_up(twin)
    # The model that went through the fault and its twin hold the same problem.
    survivor, twin_problem = standin.problems()[-2:]
    assert content(survivor) == content(twin_problem)


@pytest.mark.parametrize("name", [operation.name for operation in CONSTRUCTORS if operation.loads])
@pytest.mark.parametrize("missing", [pytest.param(i, id=str(i)) for i in range(23)])
def test_library_lacking_an_entry_point(standin, scene, name, missing):
    missing = standin.entry_points()[missing]
    path = standin.variant_path(missing)
    make = {"EnvrConfig()": EnvrConfig, "Env()": Env, "Model()": Model}[name]
    with pytest.raises(RuntimeError) as caught:
        make(dll_path=str(path))
    prefix = f"failed to load COPT library: failed to load COPT symbol {missing} from {path}: "
    assert_loader_failure(str(caught.value), prefix, "symbol")
    assert standin.history() == [f"load:without_{missing}", f"unload:without_{missing}"]
    assert standin.live() == {"configs": 0, "envs": 0, "problems": 0}
    made = make()
    model = Model(env=made) if name == "Env()" else Model(config=made) if name == "EnvrConfig()" else made
    twin = Model()
    scene.keep(made, model, twin)
    assert follow_up(build(model)) == follow_up(build(twin))


# Deleters -------------------------------------------------------------------------------------------------------------

# Each case arms a deleter to fail, then makes the module call it (releasing an object, or cleaning up after a creator
# that failed with a handle); the child reports the calls, the unraisable reports and whether a new model still works.
DELETER_CHILD = r"""
import gc, json, sys
from support import standin
import brenlox_copt as copt

reports = []
sys.unraisablehook = lambda report: reports.append(str(report.exc_value))

def release_problem():
    model = copt.Model()
    standin.reset(); standin.fail("COPT_DeleteProb", 6)
    del model

def release_env():
    env = copt.Env()
    standin.reset(); standin.fail("COPT_DeleteEnv", 6)
    del env

def release_config():
    config = copt.EnvrConfig()
    standin.reset(); standin.fail("COPT_DeleteEnvConfig", 6)
    del config

def failed(make, creator, deleter):
    def case():
        standin.reset(); standin.fail(creator, 6, with_handle=True); standin.fail(deleter, 6)
        try:
            make()
        except RuntimeError as error:
            return str(error)
    return case

env = copt.Env()
cases = {
    "release problem": release_problem,
    "release env": release_env,
    "release config": release_config,
    "cleanup problem": failed(lambda: copt.Model(env=env), "COPT_CreateProb", "COPT_DeleteProb"),
    "cleanup env": failed(copt.Env, "COPT_CreateEnv", "COPT_DeleteEnv"),
    "cleanup config": failed(copt.EnvrConfig, "COPT_CreateEnvConfig", "COPT_DeleteEnvConfig"),
}
outcome = {}
for name, case in cases.items():
    error = case()
    gc.collect()
    calls = [[call.name, call.args, call.code] for call in standin.calls()]
    model = copt.Model()
    works = model.add_variable() == 0
    del model
    outcome[name] = {"error": error, "calls": calls, "works": works}
outcome["reports"] = reports
print(json.dumps(outcome))
"""

CLEANUP_ERROR = "COPT error in {}: code 6: " + DESCRIBED_TEXT


def run_child(script):
    tests = Path(__file__).resolve().parent
    environment = {**os.environ, "PYTHONPATH": os.pathsep.join([str(tests), os.environ.get("PYTHONPATH", "")])}
    completed = subprocess.run(
        [sys.executable, "-c", script], capture_output=True, text=True, env=environment, timeout=120
    )
    assert completed.returncode == 0, completed.stderr
    return json.loads(completed.stdout.splitlines()[-1])


# What each deleter case of the child makes the stand-in see, in order.
DELETER_CASES = {
    # A problem that refuses deletion keeps its environment alive too (the stand-in refuses with 14).
    "release problem": [["COPT_DeleteProb", [["prob1"]], 6], ["COPT_DeleteEnv", [["env2"]], 14]],
    "release env": [["COPT_DeleteEnv", [["env2"]], 6]],
    "release config": [["COPT_DeleteEnvConfig", [["config1"]], 6]],
    "cleanup problem": [
        ["COPT_CreateProb", ["env1", [None]], 6],
        ["COPT_DeleteProb", [["prob1"]], 6],
        ["COPT_GetRetcodeMsg", [6, "<out>", 1000], 0],
    ],
    "cleanup env": [
        ["COPT_CreateEnv", [[None]], 6],
        ["COPT_GetRetcodeMsg", [6, "<out>", 1000], 0],
        ["COPT_DeleteEnv", [["env1"]], 6],
    ],
    "cleanup config": [
        ["COPT_CreateEnvConfig", [[None]], 6],
        ["COPT_DeleteEnvConfig", [["config1"]], 6],
        ["COPT_GetRetcodeMsg", [6, "<out>", 1000], 0],
    ],
}


def test_failing_deleters_are_called_once_and_ignored():
    outcome = run_child(DELETER_CHILD)
    assert outcome.pop("reports") == []
    for name, calls in DELETER_CASES.items():
        case = outcome[name]
        assert case["calls"] == calls, name
        assert case["works"], name
        creator = calls[0][0]
        assert case["error"] == (CLEANUP_ERROR.format(creator) if name.startswith("cleanup") else None)


# Every call site --------------------------------------------------------------------------------------------------


def test_every_native_call_site_is_faulted_by_a_case():
    # Each case checks in its own log that it failed the site it names; together the cases must name every site.
    planned = set().union(*(faulted_sites(case) for case in ALL_CASES))
    for name, calls in DELETER_CASES.items():
        deleter = next(call[0] for call in calls if call[0].startswith("COPT_Delete"))
        planned.add((deleter, "creation cleanup" if name.startswith("cleanup") else "release"))
    assert planned == CALL_SITES
