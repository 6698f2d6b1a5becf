"""Lifetimes and threads: configurations, environments and models destroyed in every order, inside reference cycles
and at interpreter exit; objects used and dropped on a thread that did not make them; and two threads each working
on their own models at once."""

import gc
import itertools
import json
import random
import subprocess
import sys
import threading

import pytest

from brenlox_copt import Env, EnvrConfig, Model
from support.argcheck import run_in_thread
from support.child import child_environment
from support.release_order import assert_released_once_in_order

NOTHING = {"configs": 0, "envs": 0, "problems": 0}


def make_objects():
    """One of each holder: a configuration, an environment made from it, a model on that environment, a model on a
    private environment from the configuration, and a model that loaded the library itself."""
    config = EnvrConfig()
    env = Env(config=config)
    return {"config": config, "env": env, "on_env": Model(env=env), "on_config": Model(config=config),
            "private": Model()}


MODELS = ("on_env", "on_config", "private")


def expected_live(alive):
    shared_env = "env" in alive or "on_env" in alive
    return {
        "configs": int("config" in alive),
        "envs": int(shared_env) + int("on_config" in alive) + int("private" in alive),
        "problems": sum(name in alive for name in MODELS),
    }


def expected_release(name, alive):
    """What dropping `name` deletes, `alive` being what is left after it."""
    released = {
        "config": ["COPT_DeleteEnvConfig"],
        "env": [] if "on_env" in alive else ["COPT_DeleteEnv"],
        "on_env": ["COPT_DeleteProb"] + ([] if "env" in alive else ["COPT_DeleteEnv"]),
        "on_config": ["COPT_DeleteProb", "COPT_DeleteEnv"],
        "private": ["COPT_DeleteProb", "COPT_DeleteEnv"],
    }[name]
    return released + ([] if alive else ["unload"])


def use(objects, standin):
    """Every object left still works: each model takes a variable, the environment a new model, the configuration a
    setting. Returns nothing; the log is cleared after."""
    for name in MODELS:
        if name in objects:
            assert objects[name].add_variable() == objects[name].add_variable() - 1
    if "env" in objects:
        Model(env=objects["env"]).add_variable()
    if "config" in objects:
        objects["config"].set("Port", 80)
    standin.reset()


# Destruction in every order --------------------------------------------------------------------------------------


@pytest.mark.parametrize("order", list(itertools.permutations(("config", "env", "on_env", "on_config", "private"))))
def test_destruction_in_every_order(standin, order):
    objects = make_objects()
    standin.reset()
    for name in order:
        del objects[name]
        assert standin.history() == expected_release(name, objects), name
        assert standin.live() == expected_live(objects)
        use(objects, standin)
    assert standin.loaded() == 0


# Reference cycles --------------------------------------------------------------------------------------------------


@pytest.mark.parametrize("seed", range(6))
def test_objects_in_a_reference_cycle_wait_for_the_collector(standin, seed):
    objects = list(make_objects().values())
    random.Random(seed).shuffle(objects)
    # A ring of lists, each holding one object and the next list; the classes take no part in collection themselves.
    ring = [[item] for item in objects]
    for node, following in zip(ring, ring[1:] + ring[:1]):
        node.append(following)
    owners = {problem.handle: problem.env for problem in standin.problems()}
    standin.reset()
    del objects, ring, node, following
    assert standin.history() == []
    assert standin.live() == {"configs": 1, "envs": 3, "problems": 3}
    gc.collect()
    assert_released_once_in_order(standin.history(), standin.calls(), owners)
    assert standin.count("COPT_DeleteEnvConfig") == 1
    assert standin.live() == NOTHING
    assert standin.loaded() == 0


def test_model_kept_by_a_caught_exception_goes_with_the_collector(standin):
    def fail(model):
        model.add_variable(lb=5.0, ub=1.0)

    def keep_error():
        model = Model()
        try:
            fail(model)
        except RuntimeError as error:
            # The error's traceback refers to this frame, which refers to the error: a cycle.
            caught = error
        return str(caught)

    assert keep_error() == "Invalid input: variable 0 has lower bound 5 greater than upper bound 1"
    assert standin.live()["problems"] == 1
    gc.collect()
    assert standin.history()[-3:] == ["COPT_DeleteProb", "COPT_DeleteEnv", "unload"]
    assert standin.live() == NOTHING


# Interpreter exit with live objects --------------------------------------------------------------------------------

# The child keeps objects alive in every kind of holder and exits; the stand-in writes its log after the interpreter
# is gone. With "dropped elsewhere" one model and one environment are dropped on another thread first, which leaks them
# (and keeps their library mapped) for good.
EXIT_CHILD = r"""
import sys, threading
from support import standin
standin.load_state()
import brenlox_copt as copt

how, log_path = sys.argv[1], sys.argv[2]
standin.log_at_exit(log_path)
reports = []
sys.unraisablehook = lambda report: reports.append(str(report.exc_value))
config = copt.EnvrConfig()
env = copt.Env(config=config)
models = [copt.Model(env=env), copt.Model(config=config)]
cycle = [copt.Model()]
cycle.append(cycle)

class Holder:
    kept = copt.Model(env=env)

def closure(model=copt.Model()):
    return model

for model in models + cycle[:1]:
    model.set_optimizer_attr("Silent", True)
    model.add_variables(2)
    model.optimize()
del model
if how == "dropped elsewhere":
    box = [copt.Model(), copt.Env()]
    thread = threading.Thread(target=box.clear)
    thread.start()
    thread.join()
    print(reports)
print("built", flush=True)
if how == "sys.exit":
    sys.exit(3)
if how == "uncaught":
    raise KeyError("left")
"""

DROPPED = "brenlox_copt::{} is unsendable, but is being dropped on another thread"
# The child's problems and their environments: two models on the shared env1, one model each on env2 (from the
# configuration), env3 (in the cycle) and env4 (the default argument).
EXIT_PROBLEMS = {"prob1": "env1", "prob2": "env2", "prob3": "env3", "prob4": "env1", "prob5": "env4"}


@pytest.mark.parametrize(
    "how, code",
    [("end", 0), ("sys.exit", 3), ("uncaught", 1), ("dropped elsewhere", 0)],
)
def test_exit_with_live_objects(standin, tmp_path, how, code):
    environment = child_environment(leaks_on_purpose=how == "dropped elsewhere")
    log_path = tmp_path / "exit-log.json"
    completed = subprocess.run(
        [sys.executable, "-c", EXIT_CHILD, how, str(log_path)],
        capture_output=True, text=True, env=environment, timeout=120,
    )
    assert completed.returncode == code, completed.stderr
    assert completed.stdout.splitlines()[-1] == "built"
    if how == "uncaught":
        assert completed.stderr.splitlines()[-1] == "KeyError: 'left'"
    else:
        assert completed.stderr == ""
    exit_log = standin.read_exit_log(log_path)
    history, calls = exit_log["history"], exit_log["calls"]
    first = next(index for index, item in enumerate(history) if item.startswith("COPT_Delete"))
    release = [call for call in calls if call.name.startswith("COPT_Delete")]
    if how == "dropped elsewhere":
        # The list drops its last item first. What the other thread dropped stays, and so does its library mapping.
        assert completed.stdout.splitlines()[0] == str([DROPPED.format("env::Env"), DROPPED.format("model::Model")])
        assert exit_log["live"] == {"configs": 0, "envs": 2, "problems": 1}
        # Windows detaches every DLL as the process ends, a DLL before those it depends on: copt.dll goes first.
        detached = sys.platform == "win32"
        assert exit_log["loaded"] == (0 if detached else 1)
        assert_released_once_in_order(history[first:], release, EXIT_PROBLEMS, unloaded=detached)
        assert {call.args[0][0] for call in release} == {"config1", *EXIT_PROBLEMS, "env1", "env2", "env3", "env4"}
    else:
        # The interpreter's last collection releases everything, in order, and the library is unloaded last.
        assert_released_once_in_order(history[first:], release, EXIT_PROBLEMS)
        assert exit_log["live"] == NOTHING
        assert exit_log["loaded"] == 0


# Other threads ---------------------------------------------------------------------------------------------------

SENT = "brenlox_copt::env::EnvConfig is unsendable, but sent to another thread"


@pytest.mark.parametrize(
    "use",
    [
        pytest.param(lambda config: config.set("Port", 80), id="set"),
        pytest.param(lambda config: Env(config=config), id="Env(config)"),
        pytest.param(lambda config: Model(config=config), id="Model(config)"),
    ],
)
def test_configuration_used_on_another_thread(standin, use):
    config = EnvrConfig()
    standin.reset()
    error = run_in_thread(use, config)
    assert (type(error).__module__, type(error).__name__) == ("pyo3_runtime", "PanicException")
    assert error.args == (SENT,)
    assert standin.history() == []
    assert standin.live() == {"configs": 1, "envs": 0, "problems": 0}
    # Its own thread still can.
    use(config)


def test_two_threads_each_with_their_own_models(standin):
    def work(rounds, seed, outcomes):
        generator = random.Random(seed)
        env = Env()
        for _ in range(rounds):
            models = [Model(env=env), Model()]
            for model in models:
                upper = generator.randint(1, 9)
                model.set_optimizer_attr("Silent", True)
                ids = model.add_variables(3, ubs=[float(upper)] * 3)
                model.add_constraint(ids, [1.0, 2.0, 3.0], 0.0, "<", 12.0)
                model.set_objective(ids, [3.0, 2.0, 1.0], 0.0, 1)
                outcomes.append((upper, model.optimize(), model.get_objective_value()))
            del models, model

    def expected(upper):
        # Maximise 3x + 2y + z with x, y, z in [0, upper] and x + 2y + 3z <= 12: x first, then y.
        x = min(upper, 12)
        y = min(upper, (12 - x) / 2)
        z = min(upper, (12 - x - 2 * y) / 3)
        return 3 * x + 2 * y + z

    previous = sys.getswitchinterval()
    sys.setswitchinterval(1e-6)
    try:
        outcomes = [[], []]
        errors = []

        def run(index):
            try:
                work(40, index, outcomes[index])
            except BaseException as error:  # noqa: BLE001 - reported below
                errors.append(error)

        threads = [threading.Thread(target=run, args=(index,)) for index in range(2)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
    finally:
        sys.setswitchinterval(previous)
    assert errors == []
    for results in outcomes:
        assert len(results) == 80
        for upper, code, value in results:
            assert (code, value) == (1, pytest.approx(expected(upper)))
    assert standin.live() == NOTHING
    assert standin.loaded() == 0
    deleted = [(call.name, call.args[0][0]) for call in standin.calls() if call.name.startswith("COPT_Delete")]
    assert len(set(deleted)) == len(deleted) == 2 * (40 * 3 + 1)
