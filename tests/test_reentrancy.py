"""A real Model guarded against re-entry from its own argument conversions, and bound to the thread that made it."""

import json
import subprocess
import sys

import pytest

from support.argcheck import run_in_thread
from support.child import child_environment
from support.models import fresh_model, solved_model
from support.number_likes import Calling

SENT = "brenlox_copt::model::Model is unsendable, but sent to another thread"
DROPPED = "brenlox_copt::model::Model is unsendable, but is being dropped on another thread"


def snapshot(standin, model):
    """Everything a call could have changed: the native problem and the cached results."""
    return standin.problem(), [model.get_var_value(0), model.get_var_value(1), model.get_objective_value()]


@pytest.fixture
def model(standin):
    """Two variables solved to 3 and 4 with the objective value 7; the log starts after the solve."""
    return solved_model(standin, [3.0, 4.0], 7.0)


# Re-entry from argument conversion -----------------------------------------------------------------------------------

EDITS = {
    "add_variable": (lambda model, number: model.add_variable(lb=number), "lb"),
    "add_variables": (lambda model, number: model.add_variables(number), "n"),
    "add_constraint": (lambda model, number: model.add_constraint([0], [1.0], number, "<", 4.0), "constant"),
    "add_constraints": (
        lambda model, number: model.add_constraints([[0]], [[1.0]], [number], ["<"], [4.0]),
        "fs_consts",
    ),
    "set_objective": (lambda model, number: model.set_objective([0], [1.0], 0.0, number), "sense"),
    "get_var_value": (lambda model, number: model.get_var_value(number), "var_id"),
}

INNER = {
    "update": (lambda model: model.update(), "Already borrowed"),
    "optimize": (lambda model: model.optimize(), "Already borrowed"),
    "set_optimizer_attr": (lambda model: model.set_optimizer_attr("Silent", True), "Already borrowed"),
    "add_variable": (lambda model: model.add_variable(), "Already borrowed"),
    "get_var_value": (lambda model: model.get_var_value(0), "Already mutably borrowed"),
    "get_objective_value": (lambda model: model.get_objective_value(), "Already mutably borrowed"),
}


@pytest.mark.parametrize(
    "outer, inner",
    [
        ("add_constraint", "update"),
        ("add_constraint", "get_var_value"),
        ("add_constraint", "get_objective_value"),
        ("add_variable", "optimize"),
        ("add_variables", "get_var_value"),
        ("add_constraints", "set_optimizer_attr"),
        ("set_objective", "get_objective_value"),
        ("set_objective", "add_variable"),
        ("get_var_value", "update"),
        ("get_var_value", "optimize"),
    ],
)
def test_reentry_into_the_same_model_fails_and_changes_nothing(standin, model, outer, inner):
    outer_call, parameter = EDITS[outer]
    inner_call, message = INNER[inner]
    before = snapshot(standin, model)
    with pytest.raises(RuntimeError) as caught:
        outer_call(model, Calling(lambda: inner_call(model)))
    assert type(caught.value) is RuntimeError and caught.value.args == (message,)
    assert caught.value.__notes__ == [f"while processing '{parameter}'"]
    assert standin.calls() == []
    assert snapshot(standin, model) == before
    model.update()  # every borrow was given back


def test_reentry_into_another_model_works(standin):
    model, other = fresh_model(), fresh_model(1)
    standin.reset()
    constant = Calling(model.update, value=1.0)
    assert other.add_constraint([0], [1.0], constant, "<", 4.0) == 0
    assert standin.calls("COPT_Update") == [("COPT_Update", ("prob1",))]
    [row] = standin.problem("prob2").rows
    assert (row.upper, row.entries) == (3.0, [(0, 1.0)])
    with pytest.raises(RuntimeError) as caught:
        other.add_constraint([0], [1.0], Calling(other.update), "<", 4.0)
    assert caught.value.args == ("Already borrowed",)
    assert caught.value.__notes__ == ["while processing 'constant'"]


def test_reads_nest(model):
    seen = []
    var_id = Calling(lambda: seen.append((model.get_var_value(0), model.get_objective_value())), value=1)
    assert model.get_var_value(var_id) == 4.0
    assert seen == [(3.0, 7.0)]
    deeper = Calling(lambda: seen.append(model.get_var_value(Calling(lambda: seen.append("deepest"), value=0))))
    assert model.get_var_value(deeper) == 4.0
    assert seen[1:] == ["deepest", 3.0]


# Thread binding ------------------------------------------------------------------------------------------------------

METHOD_CALLS = {
    "add_variable": lambda model: model.add_variable(),
    "add_variables": lambda model: model.add_variables(1),
    "add_constraint": lambda model: model.add_constraint([0], [1.0], 0.0, "<", 1.0),
    "add_constraints": lambda model: model.add_constraints([[0]], [[1.0]], [0.0], ["<"], [1.0]),
    "set_objective": lambda model: model.set_objective([0], [1.0], 0.0, 1),
    "update": lambda model: model.update(),
    "optimize": lambda model: model.optimize(),
    "get_var_value": lambda model: model.get_var_value(0),
    "get_objective_value": lambda model: model.get_objective_value(),
    "set_optimizer_attr": lambda model: model.set_optimizer_attr("Silent", False),
}


@pytest.mark.parametrize("method", METHOD_CALLS)
def test_use_on_another_thread_is_an_internal_failure(standin, model, method):
    before = snapshot(standin, model)
    error = run_in_thread(METHOD_CALLS[method], model)
    assert isinstance(error, BaseException) and not isinstance(error, Exception)
    assert type(error).__mro__[1:] == (BaseException, object)
    assert (type(error).__module__, type(error).__name__) == ("pyo3_runtime", "PanicException")
    assert error.args == (SENT,)
    assert getattr(error, "__notes__", []) == []
    assert standin.calls() == []
    assert snapshot(standin, model) == before
    METHOD_CALLS[method](model)  # the creating thread still can


def test_internal_failure_is_the_same_class_for_every_object(model):
    first = run_in_thread(model.update)
    second = run_in_thread(fresh_model().optimize)
    assert type(first) is type(second)


# The drop leaks the model's native problem, environment and library for good, which would show in every later test
# that counts them, so it runs in a process of its own.
DROP_ON_ANOTHER_THREAD = """
import json, sys, threading
from support import standin
standin.load_state()
import brenlox_copt

reports = []
sys.unraisablehook = lambda report: reports.append([type(report.exc_value).__name__, str(report.exc_value)])
box = [brenlox_copt.Model()]
box[0].add_variables(2)
before = standin.live()
thread = threading.Thread(target=box.pop)  # the last reference goes on this thread
thread.start()
thread.join()
print(json.dumps({"before": before, "after": standin.live(), "deleted": standin.count("COPT_DeleteProb"),
                  "reports": reports}))
"""


def test_drop_on_another_thread_is_reported_and_keeps_the_problem(standin):
    environment = child_environment(leaks_on_purpose=True)
    completed = subprocess.run(
        [sys.executable, "-c", DROP_ON_ANOTHER_THREAD], capture_output=True, text=True, env=environment, timeout=60
    )
    assert completed.returncode == 0, completed.stderr
    outcome = json.loads(completed.stdout)
    assert outcome["reports"] == [["RuntimeError", DROPPED]]
    assert outcome["before"] == outcome["after"] == {"configs": 0, "envs": 1, "problems": 1}
    assert outcome["deleted"] == 0
