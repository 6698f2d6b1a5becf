"""Whole models through the public API: built with every editing method, solved, and read back, on private and on
shared environments."""

import gc
import subprocess
import sys

import pytest

import brenlox_copt


def build_and_solve_lp(model):
    """max 3x + 2y + 1 s.t. x + y <= 4, x + 3y <= 6, x - y >= -10, x <= 3: optimum x = 3, y = 1, objective 12."""
    model.set_optimizer_attr("Silent", True)
    x = model.add_variable("x", "C", 0.0, 3.0)
    [y] = model.add_variables(1, names=["y"])
    assert model.add_constraint([x, y], [1.0, 1.0], 0.0, "<", 4.0, "capacity") == 0
    # A constant of 1 on the left moves over: x - y + 1 >= -9 is x - y >= -10.
    assert model.add_constraints([(x, y), range(2)], [[1, 3], (1.0, -1.0)], [0.0, 1.0], ("<", ">"), [6.0, -9.0]) == [1, 2]
    model.set_objective([x, y], [3.0, 2.0], 1.0, 1)
    assert model.optimize() == 1
    return model.get_var_value(x), model.get_var_value(y), model.get_objective_value()


def test_lp_on_a_private_environment(standin):
    model = brenlox_copt.Model("lp")
    assert model.get_objective_value() is None
    assert build_and_solve_lp(model) == pytest.approx((3.0, 1.0, 12.0))
    assert model.get_var_value(2) is None
    # An edit that reaches the solver drops the results until the next solve.
    model.add_variable()
    assert (model.get_var_value(0), model.get_objective_value()) == (None, None)
    assert model.optimize() == 1
    assert model.get_objective_value() == pytest.approx(12.0)


def test_models_on_one_environment_from_a_configuration_outlive_both(standin):
    gc.collect()  # models kept alive by earlier tests' reference cycles would be counted below
    config = brenlox_copt.EnvrConfig()
    config.set(brenlox_copt.COPT.CLIENT_WAITTIME, 2.5)
    env = brenlox_copt.Env(config=config)
    first, second = brenlox_copt.Model(env=env), brenlox_copt.Model(env=env)
    del env, config
    assert standin.live() == {"configs": 0, "envs": 1, "problems": 2}
    # min x + y s.t. x + 2y >= 4, x - y = 1: x = 2, y = 1.
    second.set_optimizer_attr("Silent", True)
    ids = second.add_variables(2)
    second.add_constraints([ids, ids], [[1.0, 2.0], [1.0, -1.0]], [0.0, 0.0], [">", "="], [4.0, 1.0])
    second.set_objective(ids, [1.0, 1.0], 0.0, 0)
    assert build_and_solve_lp(first) == pytest.approx((3.0, 1.0, 12.0))
    assert second.optimize() == 1
    assert [second.get_var_value(i) for i in ids] == pytest.approx([2.0, 1.0])
    assert second.get_objective_value() == pytest.approx(3.0)
    del first, second
    assert standin.live() == {"configs": 0, "envs": 0, "problems": 0}
    assert standin.loaded() == 0


def test_numpy_is_never_imported():
    script = """
import sys, brenlox_copt
config = brenlox_copt.EnvrConfig()
for value in ("a", True, 7, 2.5, 2**70):
    config.set("WaitTime", value)
model = brenlox_copt.Model()
model.set_optimizer_attr("Silent", True)
model.set_optimizer_attr("TimeLimit", 5.0)
assert "numpy" not in sys.modules, "numpy was imported"
"""
    completed = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, check=False)
    assert completed.returncode == 0, completed.stderr
