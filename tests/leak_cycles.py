"""Build, solve and destroy cycles for the leak checks (scripts/leak-check.sh): every constructor form and every
method, with succeeding and failing calls (bad arguments, refusals, solver faults, failing creators). Not a pytest
module; run it as a script.

    python tests/leak_cycles.py CYCLES [CYCLES_MORE]

With one count it runs that many cycles. With two it runs the first count, measures, runs the second count and
measures again, and prints the change of sys.gettotalrefcount() (debug interpreters) and of
sys.getallocatedblocks() over the second run as JSON."""

import gc
import json
import math
import os
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from support import standin  # noqa: E402

standin.load_state()
os.environ["COPT_HOME"] = str(standin.home())

from brenlox_copt import Env, EnvrConfig, Model  # noqa: E402


def refused(call, *args, **kwargs):
    """Calls something that must fail with an ordinary exception."""
    try:
        call(*args, **kwargs)
    except (RuntimeError, TypeError, ValueError, OverflowError):
        return
    raise AssertionError(f"{call} did not fail")


class Reentering:
    """A number whose conversion calls back into the model that is converting it."""

    def __init__(self, model):
        self.model = model

    def __float__(self):
        self.model.update()
        return 1.0


def build_and_solve(model):
    model.set_optimizer_attr("Silent", True)
    model.set_optimizer_attr("TimeLimit", 10.0)
    model.set_optimizer_attr("RelGap", 0.0)
    model.set_optimizer_attr("Logging", False)
    first = model.add_variable("x", "I", 0.0, 4.0)
    others = model.add_variables(2, ["y", "z"], ["C", "B"], [0.0, 0.0], [math.inf, 1.0])
    model.add_constraint([first, others[0]], [1.0, 1.0], 0.0, "<", 5.0, "cap")
    model.add_constraints([[0], [1, 2]], [[1.0], [1.0, 2.0]], [0.0, 1.0], [">", "="], [0.5, 3.0], ["a", "b"])
    model.set_objective([0, 1, 2], [3.0, 2.0, 1.0], 1.5, 1)
    model.update()
    assert model.optimize() == 1
    assert model.get_var_value(0) is not None and model.get_var_value(99) is None
    assert model.get_objective_value() is not None


def failing_calls(model, config):
    refused(model.add_variables, 2, lbs=[math.nan, 0.0])
    refused(model.add_variables, -1)
    refused(model.add_variables, 1, names="a")
    refused(model.add_variable, name="bad\0name")
    refused(model.add_constraint, [0, 99], [1.0, 1.0], 0.0, "<", 1.0)
    refused(model.add_constraint, [0], [1.0], 0.0, "!", 1.0)
    refused(model.add_constraints, [[0]], [[math.inf]], [0.0], ["<"], [1.0])
    refused(model.set_objective, [0], [1.0, 2.0], 0.0, 1)
    refused(model.set_objective, [0, 0], [1e308, 1e308], 0.0, 1)
    refused(model.set_optimizer_attr, "Silent", 1)
    refused(model.set_optimizer_attr, "Unknown", 1)
    refused(model.set_optimizer_attr, "Logging", "1")
    refused(model.get_var_value, -1)
    refused(model.add_constraint, [0], [1.0], Reentering(model), "<", 1.0)
    refused(config.set, "Port", None)
    refused(config.set, "Po\0rt", 1)
    # Solver faults in the middle of a method, and creators that fail in each way.
    standin.fail("COPT_AddCols", 6)
    refused(model.add_variable)
    standin.fail("COPT_GetIntAttr", -5, nth=2)
    refused(model.optimize)
    standin.fail("COPT_SetObjSense", 6)
    refused(model.set_objective, [0], [1.0], 0.0, 1)
    standin.fail("COPT_CreateProb", 6, with_handle=True)
    refused(Model)
    standin.null_handle("COPT_CreateEnv")
    refused(Env)
    standin.fail("COPT_CreateEnvConfig", 6, with_handle=True)
    refused(EnvrConfig)
    refused(Model, env=Env(), config=config)
    refused(Env, dll_path="/nonexistent/copt.dll")
    refused(Model, dll_path=str(standin.variant_path("COPT_Solve")))


def cycle():
    config = EnvrConfig()
    config.set("Port", 80)
    config.set("WaitTime", 2.5)
    env = Env()
    models = [
        Model(),
        Model(name="named", dll_path=str(standin.library_path())),
        Model(env=env),
        Model(env=Env(config=config)),
        Model(config=config),
    ]
    for model in models:
        build_and_solve(model)
    failing_calls(models[0], config)
    standin.reset()


def run(cycles):
    for _ in range(cycles):
        cycle()
    gc.collect()
    assert standin.live() == {"configs": 0, "envs": 0, "problems": 0}, standin.live()
    assert standin.loaded() == 0


def measure():
    gc.collect()
    references = sys.gettotalrefcount() if hasattr(sys, "gettotalrefcount") else None
    return references, sys.getallocatedblocks()


def main(arguments):
    run(int(arguments[0]))
    if len(arguments) == 1:
        return
    cycles = int(arguments[1])
    references_before, blocks_before = measure()
    run(cycles)
    references_after, blocks_after = measure()
    leaked = None if references_before is None else references_after - references_before
    print(json.dumps({"cycles": cycles, "references": leaked, "blocks": blocks_after - blocks_before}))


if __name__ == "__main__":
    main(sys.argv[1:])
