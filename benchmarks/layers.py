"""The modelling layers' model-building benchmark: the N x N LP the field compares modelling interfaces with
(variables x[i,j], y[i,j]; constraints x - y >= i and x + y >= 0; minimise the sum of x and y), through PuLP, Pyomo
and CVXPY with our adapter and, side by side in the same run, with that layer's HiGHS adapter, plus straight through
the module and straight through highspy.

Timed: from the layer's model (already built, not timed) to the model held by the solver: the layer's solve call with
a time limit of zero; our arms with the stand-in in its discard mode (it takes the arrays and stores nothing) and
without the time of the module's optimize() call, since the stand-in's GLPK is not the solver our users run. The
solve itself is reported apart, for the straight arms.

Usage: .venv/bin/python benchmarks/layers.py [--sizes 100 300 500] [--rounds 3] [--solve-up-to 300]"""

from __future__ import annotations

import argparse
import gc
import sys
import time
import warnings
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests"))

import results  # noqa: E402
from support import standin as controls  # noqa: E402


def timed(call) -> float:
    gc.collect()
    start = time.perf_counter()
    call()
    return time.perf_counter() - start


def optimize_seconds() -> list[float]:
    """Records the time of every optimize() our adapters make, so that it can be taken out of their arms."""
    from brenlox_copt_modelling import _core

    spent: list[float] = []
    solve = _core.solve

    def recorded(model, n):
        outcome = solve(model, n)
        spent.append(outcome.seconds)
        return outcome

    _core.solve = recorded
    return spent


def pulp_arms(n: int):
    import pulp

    from brenlox_copt_modelling.pulp import BRENLOX_COPT

    def model():
        prob = pulp.LpProblem("bench", pulp.LpMinimize)
        x = [[prob.add_variable(f"x_{i}_{j}") for j in range(n)] for i in range(n)]
        y = [[prob.add_variable(f"y_{i}_{j}") for j in range(n)] for i in range(n)]
        prob += pulp.lpSum(x[i][j] + y[i][j] for i in range(n) for j in range(n))
        for i in range(n):
            for j in range(n):
                prob += x[i][j] - y[i][j] >= i
                prob += x[i][j] + y[i][j] >= 0
        return prob

    return model, lambda p: p.solve(BRENLOX_COPT(msg=False, timeLimit=0)), lambda p: p.solve(
        pulp.HiGHS(msg=False, timeLimit=0))


def pyomo_arms(n: int):
    import pyomo.environ as pyo
    from pyomo.contrib.solver.common.factory import SolverFactory

    import brenlox_copt_modelling.pyomo  # noqa: F401

    def model():
        m = pyo.ConcreteModel()
        m.I = pyo.RangeSet(0, n - 1)
        m.x = pyo.Var(m.I, m.I)
        m.y = pyo.Var(m.I, m.I)
        m.obj = pyo.Objective(expr=sum(m.x[i, j] + m.y[i, j] for i in m.I for j in m.I))
        m.c1 = pyo.Constraint(m.I, m.I, rule=lambda m, i, j: m.x[i, j] - m.y[i, j] >= i)
        m.c2 = pyo.Constraint(m.I, m.I, rule=lambda m, i, j: m.x[i, j] + m.y[i, j] >= 0)
        return m

    options = dict(time_limit=0, load_solutions=False, raise_exception_on_nonoptimal_result=False)
    return model, lambda m: SolverFactory("brenlox_copt").solve(m, **options), lambda m: SolverFactory(
        "highs").solve(m, **options)


def cvxpy_arms(n: int):
    import cvxpy as cp
    import numpy as np

    from brenlox_copt_modelling.cvxpy import BRENLOX_COPT

    def model():
        x, y = cp.Variable((n, n)), cp.Variable((n, n))
        rows = np.arange(n, dtype=float)[:, None] * np.ones((1, n))
        return cp.Problem(cp.Minimize(cp.sum(x) + cp.sum(y)), [x - y >= rows, x + y >= 0])

    def solve(problem, solver):
        try:
            problem.solve(solver=solver, time_limit=0)
        except cp.error.SolverError:  # a time limit of zero may leave no solution: the model was loaded all the same
            pass

    return model, lambda p: solve(p, BRENLOX_COPT()), lambda p: solve(p, "HIGHS")


def straight_arms(n: int):
    import highspy
    import numpy as np

    import brenlox_copt

    def model():
        # Columns x[i,j] then y[i,j]; rows x - y >= i, then x + y >= 0: the plain lists a program would hold.
        k = n * n
        rows = [[c, k + c] for c in range(k)] * 2
        coeffs = [[1.0, -1.0]] * k + [[1.0, 1.0]] * k
        rhs = [float(c // n) for c in range(k)] + [0.0] * k
        return k, rows, coeffs, rhs

    def ours(data, solve=False):
        k, rows, coeffs, rhs = data
        model = brenlox_copt.Model()
        model.set_optimizer_attr("Silent", True)
        model.add_variables(2 * k, lbs=[-1e30] * (2 * k))
        model.add_constraints(rows, coeffs, [0.0] * (2 * k), [">"] * (2 * k), rhs)
        model.set_objective(range(2 * k), [1.0] * (2 * k), 0.0, -1)
        if solve:
            return model.optimize()
        return None  # the model is held: the straight arm's solve is timed apart

    def highs(data, solve=False):
        k, rows, coeffs, rhs = data
        h = highspy.Highs()
        h.setOptionValue("output_flag", False)
        h.addVars(2 * k, np.full(2 * k, -highspy.kHighsInf), np.full(2 * k, highspy.kHighsInf))
        starts = np.arange(0, 4 * k, 2, dtype=np.int32)
        h.addRows(2 * k, np.array(rhs), np.full(2 * k, highspy.kHighsInf), 4 * k, starts,
                  np.array(rows, dtype=np.int32).ravel(), np.array(coeffs).ravel())
        h.changeColsCost(2 * k, np.arange(2 * k, dtype=np.int32), np.ones(2 * k))
        if not solve:
            h.setOptionValue("time_limit", 0.0)
        h.run()

    return model, ours, highs


LAYERS = {"pulp": pulp_arms, "pyomo": pyomo_arms, "cvxpy": cvxpy_arms, "straight": straight_arms}


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--sizes", type=int, nargs="+", default=[100, 300, 500])
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--solve-up-to", type=int, default=300, help="largest N whose straight solves are timed")
    parser.add_argument("--layers", nargs="+", default=list(LAYERS))
    parser.add_argument("--results", type=Path, help="also write the printed rows as JSON to this file "
                        "(benchmarks/results/layers.json feeds the site's figures)")
    args = parser.parse_args()
    warnings.simplefilter("ignore")
    controls.load_state()
    import os

    os.environ["COPT_HOME"] = str(controls.home())
    controls.set_logging(False)
    spent = optimize_seconds()
    print(f"{'layer':9} {'N':>4} {'ours s':>9} {'HiGHS s':>9} {'ratio':>6} {'solve ours s':>13} {'solve HiGHS s':>14}")
    rows = []
    for n in args.sizes:
        for layer in args.layers:
            # A first solve on a tiny model, not timed: imports and one-off set-up (the solver environment, the
            # layer's caches) are no part of getting a model into the solver.
            tiny, tiny_ours, tiny_highs = LAYERS[layer](2)
            controls.set_discard(True)
            tiny_ours(tiny())
            controls.set_discard(False)
            tiny_highs(tiny())
            model, ours, highs = LAYERS[layer](n)
            ours_times, highs_times = [], []
            for _ in range(args.rounds):  # alternating, each on a fresh model of the layer (not timed)
                controls.set_discard(True)
                built = model()
                spent.clear()
                ours_times.append(timed(lambda: ours(built)) - sum(spent))
                controls.set_discard(False)
                built = model()
                highs_times.append(timed(lambda: highs(built)))
                del built
            best_ours, best_highs = min(ours_times), min(highs_times)
            solves = ("", "")
            if layer == "straight" and n <= args.solve_up_to:
                built = model()
                solves = (f"{timed(lambda: ours(built, solve=True)):.3f}", f"{timed(lambda: highs(built, solve=True)):.3f}")
            print(f"{layer:9} {n:>4} {best_ours:>9.3f} {best_highs:>9.3f} {best_ours / best_highs:>6.2f} "
                  f"{solves[0]:>13} {solves[1]:>14}", flush=True)
            rows.append({"layer": layer, "N": n, "ours_s": round(best_ours, 4), "highs_s": round(best_highs, 4),
                         "solve_ours_s": float(solves[0]) if solves[0] else None,
                         "solve_highs_s": float(solves[1]) if solves[1] else None})
    if args.results:
        results.write(args.results, rows)


if __name__ == "__main__":
    main()
