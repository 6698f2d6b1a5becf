"""Many models at once, as examples/scenarios.py solves them: the same scenarios give the same results in this
process, on a process pool and on a two-worker Dask LocalCluster, a refused model's error reaches the caller with its
message beside the other tasks' results, and no module object or class can be pickled."""

import json
import os
import pickle
import re
import subprocess
import sys
from pathlib import Path

import pytest

import brenlox_copt
from support.child import child_environment
from support.workers_or_skip import require_distributed, require_process_pool

EXAMPLES = Path(__file__).resolve().parents[1] / "examples"
sys.path.insert(0, str(EXAMPLES))
import scenarios  # noqa: E402

COUNT = 6
BROKEN = 2  # this scenario's desk limit is below the desks' lower bound, so its model is refused
REFUSAL = "Invalid input: variable 2 has lower bound 0 greater than upper bound -1"

# The caller runs in a child interpreter of its own, so that no pool or cluster thread outlives it in this one (later
# tests fork this process). It prints each task's result, or its error's type name and message, as JSON.
CALLER = """
import json, sys
import scenarios
runner, tasks = sys.argv[1], json.loads(sys.argv[2])
try:
    outcomes = getattr(scenarios, runner)(tasks, workers=2, timeout=120)
except NotImplementedError as error:  # raised where the platform has no working process semaphores
    print(json.dumps({"skip": f"this platform cannot run a process pool: {error}"}))
    sys.exit()
print(json.dumps([o if isinstance(o, dict) else [type(o).__name__, str(o)] for o in outcomes]))
"""


def tasks() -> list[dict]:
    found = [scenarios.scenario(index) for index in range(COUNT)]
    found[BROKEN]["max_desks"] = -1.0
    return found


def in_this_process(work: list[dict]) -> list:
    found: list = []
    for task in work:
        try:
            found.append(scenarios.solve(task))
        except RuntimeError as error:
            found.append([type(error).__name__, str(error)])
    return found


def in_a_caller(runner: str, work: list[dict]) -> list:
    environment = child_environment()
    environment["PYTHONPATH"] = os.pathsep.join([str(EXAMPLES), environment["PYTHONPATH"]])
    done = subprocess.run([sys.executable, "-c", CALLER, runner, json.dumps(work)], capture_output=True, text=True,
                          timeout=300, check=False, env=environment, stdin=subprocess.DEVNULL)
    assert done.returncode == 0, done.stderr
    found = json.loads(done.stdout.strip().splitlines()[-1])
    if isinstance(found, dict):
        pytest.skip(found["skip"])
    return found


@pytest.mark.parametrize("runner", ["on_pool", "on_dask"], ids=["process pool", "Dask LocalCluster"])
def test_workers_give_the_sequential_results_and_the_refusal_its_message(runner):
    (require_distributed if runner == "on_dask" else require_process_pool)()
    expected = in_this_process(tasks())
    assert expected[BROKEN] == ["RuntimeError", REFUSAL]
    solved = [outcome for outcome in expected if isinstance(outcome, dict)]
    assert len({outcome["profit"] for outcome in solved}) == COUNT - 1  # every scenario is a different model
    assert in_a_caller(runner, tasks()) == expected


@pytest.mark.parametrize(
    "make, error, text",
    [
        (brenlox_copt.Model, TypeError, "cannot pickle 'builtins.Model' object"),
        (brenlox_copt.Env, TypeError, "cannot pickle 'builtins.Env' object"),
        (brenlox_copt.EnvrConfig, TypeError, "cannot pickle 'builtins.EnvrConfig' object"),
        # The classes live in "builtins" by name only, so even a class cannot be sent by reference.
        (lambda: brenlox_copt.Model, pickle.PicklingError, "<class 'builtins.Model'>"),
        (lambda: brenlox_copt.Env, pickle.PicklingError, "<class 'builtins.Env'>"),
        (lambda: brenlox_copt.EnvrConfig, pickle.PicklingError, "<class 'builtins.EnvrConfig'>"),
        (lambda: brenlox_copt.COPT, pickle.PicklingError, "<class 'builtins.COPT'>"),
    ],
)
def test_pickling_is_refused_with_the_class_named(make, error, text):
    with pytest.raises(error, match=re.escape(text)):
        pickle.dumps(make())
