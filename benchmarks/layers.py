"""The modelling layers' model-building benchmark: the N x N LP the field compares modelling interfaces with
(variables x[i,j], y[i,j]; constraints x - y >= i and x + y >= 0; minimise the sum of x and y), through PuLP (3 or 4,
whichever is installed), Pyomo, CVXPY, linopy and SciPy's milp with our adapter and, side by side in the same run,
with that layer's HiGHS path, plus straight through the module and straight through highspy. linopy also has the
route its users of this solver take today: the model written to an LP file and read back by a solver (HiGHS's
reader here, as the vendor's is not).

Timed: from the layer's model (already built, not timed) to the model held by the solver: the layer's solve call with
a time limit of zero (for milp, its arguments to HiGHS stopped at once); our arms with the stand-in in its discard
mode (it takes the arrays and stores nothing), made to report a time limit reached without a solution, as the HiGHS
arms stop, and without the time of the module's optimize() call, since the stand-in's GLPK is not the solver our
users run. Of our time, the "module" column is what the module's calls took
(with the stand-in discarding); the rest is the layer's own walk and the adapter's conversion. The solve itself is
reported apart, for the straight arms.

Usage: python benchmarks/layers.py [--sizes 100 300 500] [--rounds 3] [--solve-up-to 300] [--layers ...]
                                   [--results FILE]"""

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


def recorded_seconds() -> tuple[list[float], list[float]]:
    """Records the time of every optimize() our adapters make, so that it can be taken out of their arms, and of
    every model they load (the module's calls), to say where the rest of the time goes."""
    from brenlox_copt_modelling import _core

    spent: list[float] = []
    loading: list[float] = []
    solve, load = _core.solve, _core.load

    def solved(model, n):
        outcome = solve(model, n)
        spent.append(outcome.seconds)
        return outcome

    def loaded(arrays, settings):
        start = time.perf_counter()
        model = load(arrays, settings)
        loading.append(time.perf_counter() - start)
        return model

    _core.solve, _core.load = solved, loaded
    return spent, loading


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


def linopy_arms(n: int):
    import tempfile

    import highspy
    import linopy
    import xarray as xr
    from numpy import arange

    from brenlox_copt_modelling.linopy import solve

    def model():
        m = linopy.Model()
        axis = arange(n)
        x = m.add_variables(coords=[axis, axis], name="x")
        y = m.add_variables(coords=[axis, axis], name="y")
        m.add_constraints(x - y >= xr.DataArray(axis, dims=["dim_0"]))
        m.add_constraints(x + y >= 0)
        m.add_objective(x.sum() + y.sum())
        return m

    folder = tempfile.mkdtemp(prefix="brenlox-layers-")

    def lp_file(m):
        # What Model.solve(io_api="lp") does before the solver runs: linopy's clean-ups, the file, the solver's read.
        path = f"{folder}/model.lp"
        m.constraints.sanitize_zeros()
        m.constraints.sanitize_infinities()
        m.to_file(path, progress=False)
        h = highspy.Highs()
        h.setOptionValue("output_flag", False)
        h.readModel(path)

    return model, lambda m: solve(m, silent=True, time_limit=0.0), lambda m: m.solve(
        solver_name="highs", io_api="direct", time_limit=0, output_flag=False), {"LP file": lp_file}


def scipy_arms(n: int):
    import numpy as np
    from scipy.optimize import Bounds, LinearConstraint
    from scipy.optimize import milp as theirs
    from scipy.sparse import csr_array

    from brenlox_copt_modelling.scipy import milp

    def model():
        # Columns x[i,j] then y[i,j]; rows x - y >= i, then x + y >= 0, as one compressed-row matrix.
        k = n * n
        cols = np.arange(k)
        indices = np.concatenate([np.stack([cols, cols + k], axis=1).ravel()] * 2)
        data = np.concatenate([np.tile([1.0, -1.0], k), np.ones(2 * k)])
        matrix = csr_array((data, indices, np.arange(0, 4 * k + 1, 2)), shape=(2 * k, 2 * k))
        rhs = np.concatenate([np.repeat(np.arange(n, dtype=float), n), np.zeros(k)])
        return np.ones(2 * k), Bounds(-np.inf, np.inf), LinearConstraint(matrix, rhs, np.inf)

    def call(solver, data, options):
        c, bounds, constraints = data
        solver(c, bounds=bounds, constraints=constraints, options=options)

    return model, lambda d: call(milp, d, {"time_limit": 0.0}), lambda d: call(theirs, d, {"time_limit": 0.0})


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


LAYERS = {"pulp": pulp_arms, "pyomo": pyomo_arms, "cvxpy": cvxpy_arms, "linopy": linopy_arms, "scipy": scipy_arms,
          "straight": straight_arms}


def versions(layers) -> str:
    from importlib import metadata

    packages = {"pulp": "pulp", "pyomo": "pyomo", "cvxpy": "cvxpy", "linopy": "linopy", "scipy": "scipy",
                "straight": "highspy"}
    return ", ".join(f"{packages[layer]} {metadata.version(packages[layer])}" for layer in layers)


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
    spent, loading = recorded_seconds()
    print(f"Python {sys.version.split()[0]}; {versions(args.layers)}")
    rows = []
    print(f"{'layer':9} {'N':>4} {'ours s':>9} {'module s':>9} {'HiGHS s':>9} {'ratio':>6} {'other':>8} {'other s':>9} "
          f"{'ratio':>6} {'solve ours s':>13} {'solve HiGHS s':>14}")
    for n in args.sizes:
        for layer in args.layers:
            # A first solve on a tiny model, not timed: imports and one-off set-up (the solver environment, the
            # layer's caches) are no part of getting a model into the solver.
            tiny, tiny_ours, tiny_highs, *tiny_others = LAYERS[layer](2)
            controls.set_discard(True)
            tiny_ours(tiny())
            controls.set_discard(False)
            tiny_highs(tiny())
            for other in (tiny_others[0] if tiny_others else {}).values():
                other(tiny())
            model, ours, highs, *others = LAYERS[layer](n)
            others = others[0] if others else {}
            ours_times, module_times, highs_times = [], [], []
            other_times = {name: [] for name in others}
            for _ in range(args.rounds):  # alternating, each on a fresh model of the layer (not timed)
                controls.set_discard(True)
                built = model()
                spent.clear()
                loading.clear()
                if layer != "straight":  # the straight arm does not solve here
                    controls.force_result(status=8, has_sol=0)  # stopped at the time limit, as the HiGHS arms stop
                ours_times.append(timed(lambda: ours(built)) - sum(spent))
                module_times.append(sum(loading))
                controls.set_discard(False)
                built = model()
                highs_times.append(timed(lambda: highs(built)))
                for name, other in others.items():
                    built = model()
                    other_times[name].append(timed(lambda: other(built)))
                del built
            best = min(range(args.rounds), key=ours_times.__getitem__)
            best_ours, best_highs = ours_times[best], min(highs_times)
            other_columns = f"{'':>8} {'':>9} {'':>6}"
            for name, times in other_times.items():
                other_columns = f"{name:>8} {min(times):>9.3f} {best_ours / min(times):>6.3f}"
            solves = ("", "")
            if layer == "straight" and n <= args.solve_up_to:
                built = model()
                solves = (f"{timed(lambda: ours(built, solve=True)):.3f}", f"{timed(lambda: highs(built, solve=True)):.3f}")
            module = f"{module_times[best]:>9.3f}" if layer != "straight" else f"{'':>9}"  # all of it is the module
            print(f"{layer:9} {n:>4} {best_ours:>9.3f} {module} {best_highs:>9.3f} "
                  f"{best_ours / best_highs:>6.2f} {other_columns} {solves[0]:>13} {solves[1]:>14}", flush=True)
            rows.append({"layer": layer, "N": n, "ours_s": round(best_ours, 4), "highs_s": round(best_highs, 4),
                         "module_s": round(module_times[best], 4) if layer != "straight" else None,
                         "lp_file_s": round(min(other_times["LP file"]), 4) if "LP file" in other_times else None,
                         "solve_ours_s": float(solves[0]) if solves[0] else None,
                         "solve_highs_s": float(solves[1]) if solves[1] else None})
    if args.results:
        results.write(args.results, rows)


if __name__ == "__main__":
    main()
