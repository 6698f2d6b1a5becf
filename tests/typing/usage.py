"""Typed use of every class, method and result of brenlox_copt: checked by mypy --strict and pyright (strict) and run
as a program.

The lines marked `# type: ignore[...]` are misuse the stubs must refuse; both checkers report an ignore comment that
suppresses nothing, so the file also proves the stubs are not too loose."""

import array
from typing import assert_type

import numpy as np
import numpy.typing as npt

import brenlox_copt
from brenlox_copt import COPT, Env, EnvrConfig, Model


def build(model: Model) -> tuple[int, list[int], int, list[int]]:
    x = model.add_variable()
    assert_type(x, int)
    y = model.add_variable("y", "I", 0, 10.5)
    more = model.add_variables(3, names=("a", "b", "c"), vtypes=["C", "B", "C"], lbs=[0.0, 0, 1], ubs=[1.0, 1, 2])
    assert_type(more, list[int])
    model.add_variables(0)
    row = model.add_constraint([x, y], [1.0, 2], 0.0, "<", 4.0, name="cap")
    assert_type(row, int)
    rows = model.add_constraints([[x], range(2)], [(1.0,), [1, 1]], [0.0, 1], [">", "="], [1.0, 3.0], None)
    assert_type(rows, list[int])
    assert_type(model.set_objective([x, y, *more], [1.0] * 5, 0.5, sense=1), None)
    return x, more, row, rows


def build_from_arrays(model: Model, ids: npt.NDArray[np.int64], values: npt.NDArray[np.float64]) -> list[int]:
    """NumPy arrays and other buffers wherever the module takes a sequence of numbers or ids."""
    more = model.add_variables(np.int64(3), lbs=values, ubs=np.array([5, 5, 5], dtype=np.int32))
    model.add_variables(2, lbs=array.array("d", [0.0, 1.0]), ubs=np.array([1, 2], dtype=np.float32))
    model.add_constraint(ids, values, np.float64(0.5), "<", np.float64(4.0))
    model.add_constraint(np.array(more, dtype=np.uint64), memoryview(b"\x01\x02\x03"), 0, "=", 1)
    model.add_constraint(array.array("q", more), array.array("d", [1.0, 2.0, 3.0]), 0.0, ">", 0.0)
    rows = model.add_constraints(
        np.array([ids, ids], dtype=np.int64), np.ones((2, 3)), np.zeros(2), ["<", ">"], values[:2]
    )
    model.add_constraints(
        [ids, more[:1]], [values, np.array([2.5], dtype=np.float32)], (0.0, 0.0), ["<", "<"], np.array([9.0, 9.0])
    )
    model.set_objective(ids, values, np.float64(0.0), np.int8(1))
    model.set_optimizer_attr("Silent", np.True_)
    assert_type(model.get_var_value(np.uint32(0)), float | None)
    return rows


def solve(model: Model) -> float:
    model.set_optimizer_attr("Silent", True)
    model.set_optimizer_attr("TimeLimit", 10.0)
    model.set_optimizer_attr("TimeLimit", np.float64(10))
    model.set_optimizer_attr("Logging", 0)
    model.set_optimizer_attr("FeasTol", 1e-6)
    assert_type(model.update(), None)
    code = model.optimize()
    assert code in (0, 1, 2, 3, 4)
    value = model.get_var_value(0)
    assert_type(value, float | None)
    objective = model.get_objective_value()
    assert_type(objective, float | None)
    return objective if objective is not None else float("nan")


def configured() -> Model:
    config = EnvrConfig()
    config.set(COPT.CLIENT_CLUSTER, "localhost")
    config.set(COPT.CLIENT_PORT, 7878)
    config.set(COPT.CLIENT_WAITTIME, 2.5)
    config.set("Priority", True)
    name: str = COPT.CLIENT_CAFILE
    assert name == "CaFile"
    shared = Env(config=config)
    return Model("m", env=shared)


def misuse(model: Model, env: Env, config: EnvrConfig) -> None:
    """Never called: each line must be refused by the type checker."""
    model.add_variable(lb="0")  # type: ignore[arg-type]
    model.add_variables(2.0)  # type: ignore[arg-type]
    model.add_constraint([0], [1.0], 0.0, 1, 1.0)  # type: ignore[arg-type]
    model.add_constraints([0], [[1.0]], [0.0], ["<"], [1.0])  # type: ignore[list-item]
    model.add_constraint({0: 0}, [1.0], 0.0, "<", 1.0)  # type: ignore[arg-type]
    model.add_constraint(array.array("d", [0.0]), [1.0], 0.0, "<", 1.0)  # type: ignore[arg-type]
    model.add_variables(1, lbs=["0"])  # type: ignore[list-item]
    model.set_optimizer_attr("Silent", 1)  # type: ignore[deprecated]
    model.set_optimizer_attr("Silent", 0.5)  # type: ignore[deprecated]
    model.set_optimizer_attr("Silent", np.float64(1))  # type: ignore[deprecated]
    model.set_optimizer_attr("TimeLimit", 10)  # type: ignore[deprecated]
    model.set_optimizer_attr("TimeLimit", True)  # type: ignore[deprecated]
    model.set_objective([0], [1.0], 0.0, "max")  # type: ignore[arg-type]
    model.set_optimizer_attr("Logging", "0")  # type: ignore[call-overload]
    config.set("Port", None)  # type: ignore[arg-type]
    Model(env=config)  # type: ignore[arg-type]
    Env(config=env)  # type: ignore[arg-type]
    text: str = model.get_var_value(0)  # type: ignore[assignment]
    COPT.CLIENT_PORT = "Other"  # type: ignore[misc]


if __name__ == "__main__":
    assert brenlox_copt.__all__ == ["COPT", "Env", "EnvrConfig", "Model"]
    model = Model(dll_path=None)
    build(model)
    print(solve(model))
    arrays = Model()
    arrays.add_variables(3)
    assert build_from_arrays(arrays, np.arange(3), np.array([1.0, 2.0, 3.0])) == [3, 4]
    shared = configured()
    shared.add_variable()
    print(solve(shared))
