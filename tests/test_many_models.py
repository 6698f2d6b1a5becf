"""Many models at once, as examples/scenarios.py solves them: the same scenarios give the same results in this
process, on a process pool and on a two-worker Dask LocalCluster, a refused model's error reaches the caller with its
message beside the other tasks' results, and no module object or class can be pickled."""

import pickle
import re
import sys
from pathlib import Path

import pytest

import brenlox_copt
from support.dask_or_skip import require_distributed

# Worker processes import the tasks by module name, so examples/ goes on the path they inherit.
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "examples"))
import scenarios  # noqa: E402

COUNT = 6
BROKEN = 2  # this scenario's desk limit is below the desks' lower bound, so its model is refused
REFUSAL = "Invalid input: variable 2 has lower bound 0 greater than upper bound -1"
TIMEOUT = 120.0  # seconds any one task may take before the test gives up waiting


def tasks() -> list[dict]:
    found = [scenarios.scenario(index) for index in range(COUNT)]
    found[BROKEN]["max_desks"] = -1.0
    return found


def in_this_process(work: list[dict]) -> list:
    found = []
    for task in work:
        try:
            found.append(scenarios.solve(task))
        except RuntimeError as error:
            found.append(error)
    return found


def on_pool(work: list[dict]) -> list:
    try:
        return scenarios.on_pool(work, workers=2, timeout=TIMEOUT)
    except NotImplementedError as error:  # raised where the platform has no working process semaphores
        pytest.skip(f"this platform cannot run a process pool: {error}")


def on_local_cluster(work: list[dict]) -> list:
    require_distributed()
    return scenarios.on_dask(work, workers=2, timeout=TIMEOUT)


def comparable(outcome) -> object:
    """A result as it is, an exception as its type and message (exceptions do not compare equal by value)."""
    return (type(outcome), str(outcome)) if isinstance(outcome, BaseException) else outcome


@pytest.mark.parametrize("run", [on_pool, on_local_cluster], ids=["process pool", "Dask LocalCluster"])
def test_workers_give_the_sequential_results_and_the_refusal_its_message(run):
    expected = [comparable(outcome) for outcome in in_this_process(tasks())]
    assert expected[BROKEN] == (RuntimeError, REFUSAL)
    solved = [outcome for outcome in expected if isinstance(outcome, dict)]
    assert len({outcome["profit"] for outcome in solved}) == COUNT - 1  # every scenario is a different model
    assert [comparable(outcome) for outcome in run(tasks())] == expected


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
