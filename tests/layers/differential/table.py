"""The differential harness's models, each described once for every layer: variables, rows, objective, options, and
where our adapter answers otherwise than the layer's HiGHS adapter on purpose, that difference and its reason."""

from __future__ import annotations

import math
import operator
import random
from collections.abc import Callable, Mapping
from dataclasses import dataclass

INF = math.inf
NAN = math.nan


@dataclass(frozen=True)
class Var:
    """kind: "C", "I" or "B". domain: a discrete domain other than the integers, ("range", first, last, step) or
    ("set", values), which only some layers can state. fixed: the value the variable is fixed at, as the layer fixes
    variables."""

    name: str
    lb: float = 0.0
    ub: float = INF
    kind: str = "C"
    domain: tuple | None = None
    fixed: float | None = None


@dataclass(frozen=True)
class Row:
    """lower <= sum(coefficient * variable) <= upper; a term's variable may repeat."""

    terms: tuple[tuple[int, float], ...]
    lower: float = -INF
    upper: float = INF

    def sides(self) -> list[tuple[Callable, float, str]]:
        """The row as a layer without ranged rows states it, (comparison, right-hand side, name suffix) each: one
        equality when both sides agree, else one row per finite side (the upper one, infinite, for a free row)."""
        if self.lower == self.upper:
            return [(operator.eq, self.lower, "")]
        sides = [(operator.ge, self.lower, "_lower")] if self.lower != -INF else []
        if self.upper != INF or self.lower == -INF:
            sides.append((operator.le, self.upper, "_upper"))
        return sides


@dataclass(frozen=True)
class Chosen:
    """A difference from the layer's HiGHS adapter that we chose: the status our adapter reports, per layer (the
    layer's own words, as the builders write them), and why."""

    reason: str
    ours: Mapping[str, str]


@dataclass(frozen=True)
class Model:
    """objective None: no objective at all (a feasibility problem); unique: the optimum's values are unique, so they
    are compared with HiGHS's, rather than only checked against the model."""

    name: str
    variables: tuple[Var, ...]
    rows: tuple[Row, ...] = ()
    objective: tuple[tuple[int, float], ...] | None = ()
    constant: float = 0.0
    maximize: bool = False
    time_limit: float | None = None
    unique: bool = True
    chosen: Chosen | None = None


# The module's result code 0 (no usable outcome) is all the solver says of a MIP whose relaxation is unbounded;
# HiGHS proves more. The adapters report what the code says and guess no further.
NO_OUTCOME = Chosen(
    "the module's result code 0 says only that no usable outcome was reached; the adapters guess neither "
    "infeasible nor unbounded from it",
    {"pulp": "Not Solved / No Solution Found", "pyomo": "unknown / noSolution", "cvxpy": "refused (SolverError)",
     "linopy": "unknown / unknown", "scipy": "4 The solver reached no definite outcome"},
)
_REFUSED = {"pulp": "refused (PulpSolverError)", "pulp4": "refused (PulpSolverError)", "pyomo": "refused (SolverError)",
            "scipy": "refused (ValueError)"}


def nan_refused(*layers: str) -> Chosen:
    """A NaN that reaches our adapter in these layers (elsewhere the layer's own checks or arithmetic refuse it
    first, as PuLP 4's rows, CVXPY and linopy do, or SciPy's for the objective)."""
    return Chosen("a NaN has no value a solver could use: refused by name, where HiGHS goes on with it",
                  {layer: _REFUSED[layer] for layer in layers})


# (PuLP's HiGHS adapter fails on it too, with an IndexError: a refusal beside ours.)
INFINITY_REFUSED = Chosen("an infinite coefficient gives no finite row: refused by name, where HiGHS solves "
                          "(Pyomo) or fails with a model error (SciPy: status 2 with the message 'Model error')",
                          {"pyomo": "refused (SolverError)", "scipy": "refused (ValueError)"})


HAND_WRITTEN = [
    Model("lp optimum", (Var("x", 0, 3), Var("y")),
          (Row(((0, 1), (1, 1)), upper=4), Row(((0, 1), (1, 3)), upper=6)), ((0, 3), (1, 2)), maximize=True),
    Model("mip optimum", (Var("x", 0, 10, "I"), Var("y", 0, 10, "I")),
          (Row(((0, 2), (1, 2)), upper=9), Row(((0, 1), (1, -1)), upper=1.5)), ((0, 3), (1, 2)), maximize=True),
    Model("lp infeasible", (Var("x", 0, 1),), (Row(((0, 1),), lower=2),), ((0, 1),)),
    Model("mip infeasible", (Var("x", 0, 5, "I"), Var("y", 0, 5, "I")),
          (Row(((0, 2), (1, 2)), 3, 3),), ((0, 1),)),
    Model("lp unbounded", (Var("x"), Var("y")), (Row(((0, 1), (1, -1)), upper=3),), ((0, 1),), maximize=True,
          chosen=Chosen("the module keeps no solution of an unbounded model, so none is loaded; HiGHS hands back a "
                        "feasible point", {"pyomo": "unbounded / noSolution"})),
    Model("mip unbounded", (Var("x", -INF, INF, "I"), Var("y")), (Row(((0, 1), (1, -1)), upper=3),), ((0, 1),),
          maximize=True, chosen=NO_OUTCOME),
    Model("mip unbounded, time limit not reached", (Var("x", -INF, INF, "I"), Var("y")),
          (Row(((0, 1), (1, -1)), upper=3),), ((0, 1),), maximize=True, time_limit=100.0, chosen=NO_OUTCOME),
    Model("empty", (), (), (), constant=1.5,
          chosen=Chosen("a model without variables and rows is solved (its optimum is its constant), where HiGHS's "
                        "adapter reports unknown", {"pyomo": "convergenceCriteriaSatisfied / optimal"})),
    Model("no objective", (Var("x", 0, 2), Var("y", 0, 2)), (Row(((0, 1), (1, 1)), 1, 1),), None, unique=False),
    Model("constant objective", (Var("x", 0, 2), Var("y", 0, 2)), (Row(((0, 1), (1, 1)), lower=1),), (),
          constant=7.5, unique=False),
    Model("objective constant and minimum", (Var("x", 1, 4),), (), ((0, 2),), constant=-3.25),
    Model("free variables", (Var("x", -INF, INF), Var("y", -INF, INF)),
          (Row(((0, 1), (1, 1)), lower=-2), Row(((0, 1), (1, -1)), 1, 1)), ((0, 1), (1, 2))),
    Model("negative bounds", (Var("x", -5, -1), Var("y", -3.5, 2, "I")), (Row(((0, 1), (1, 1)), upper=-4),),
          ((0, -1), (1, 1))),
    Model("fixed variable", (Var("x", 0, 10), Var("y", 0, 10, fixed=3.0)),
          (Row(((0, 1), (1, 1)), lower=4),), ((0, 1), (1, 1))),
    Model("equal bounds", (Var("x", 2.5, 2.5), Var("y", 0, 10)), (Row(((0, 1), (1, 1)), lower=4),), ((0, 1), (1, 1))),
    Model("binary", (Var("a", 0, 1, "B"), Var("b", 0, 1, "B"), Var("c", 0, 1, "B")),
          (Row(((0, 3), (1, 4), (2, 5)), upper=8),), ((0, 5), (1, 6), (2, 8)), maximize=True),
    Model("integer with fractional bounds", (Var("x", 0.5, 2.5, "I"), Var("y", -1.7, 3.2, "I")),
          (Row(((0, 1), (1, 1)), upper=4),), ((0, 1), (1, 2)), maximize=True),
    Model("integer bounds admit no integer", (Var("x", 0.2, 0.8, "I"),), (), ((0, 1),)),
    Model("crossed bounds", (Var("x", 5, 1), Var("y", 0, 1)), (Row(((1, 1),), upper=1),), ((0, 1), (1, 1))),
    Model("crossed bounds on an integer", (Var("x", 3, 2, "I"),), (), ((0, 1),), maximize=True),
    Model("duplicated terms", (Var("x", 0, 10), Var("y", 0, 10)),
          (Row(((0, 1), (0, 2), (1, 1), (1, -0.5)), upper=6),), ((0, 1), (0, 1), (1, 1)), maximize=True),
    Model("ranged row", (Var("x", -10, 10), Var("y", 0, 1)), (Row(((0, 2), (1, 1)), -3, 5),), ((0, 1), (1, -1))),
    Model("equality rows", (Var("x"), Var("y"), Var("z")),
          (Row(((0, 1), (1, 1), (2, 1)), 6, 6), Row(((0, 1), (1, -1)), 1, 1), Row(((2, 2),), 4, 4)),
          ((0, 1), (1, 1), (2, 1))),
    Model("variable with zero coefficients only", (Var("x", 0, 3), Var("y", -1, 1)), (Row(((0, 1), (1, 0)), upper=2),),
          ((0, 1), (1, 0)), maximize=True, unique=False,
          chosen=Chosen("Pyomo's standard-form compiler leaves out a variable without a nonzero coefficient, so no "
                        "value comes back for it; HiGHS's persistent interface keeps it",
                        {"pyomo": "convergenceCriteriaSatisfied / optimal"})),
    Model("variable in no row", (Var("x", 0, 3), Var("unused", -1, 1)), (), ((0, 1),), maximize=True,
          unique=False),
    Model("huge coefficients", (Var("x", 0, 1e6), Var("y", 0, 1e6)),
          (Row(((0, 1e6), (1, 2e6)), upper=3e12), Row(((0, 1), (1, 1)), upper=2e6)), ((0, 1e5), (1, 1e5)),
          maximize=True, unique=False),
    Model("tiny coefficients", (Var("x", 0, 1e3), Var("y", 0, 1e3)),
          (Row(((0, 1e-6), (1, 2e-6)), upper=1e-3),), ((0, 3e-6), (1, 1e-6)), maximize=True),
    Model("infinite right-hand side", (Var("x", 0, 2),), (Row(((0, 1),), upper=INF),), ((0, 1),), maximize=True),
    Model("unicode names", (Var("größe", 0, 4), Var("变量", 0, 4, "I"), Var("x‿y", 0, 1)),
          (Row(((0, 1), (1, 1), (2, 1)), upper=5.5),), ((0, 1), (1, 1.5), (2, 2)), maximize=True),
    Model("NaN coefficient", (Var("x", 0, 4),), (Row(((0, NAN),), upper=3),), ((0, 1),), maximize=True,
          chosen=nan_refused("pulp", "pyomo", "scipy")),
    Model("NaN objective coefficient", (Var("x", 0, 4),), (), ((0, NAN),),
          chosen=nan_refused("pulp", "pulp4", "pyomo")),
    Model("NaN right-hand side", (Var("x", 0, 4),), (Row(((0, 1),), lower=NAN),), ((0, 1),),
          chosen=Chosen("a NaN row bound is refused by name, where HiGHS fails with a model error (SciPy: status 2 "
                        "with the message 'Model error'; linopy drops the row with a warning, its refusal here)",
                        {"scipy": "refused (ValueError)"})),
    Model("NaN bound", (Var("x", NAN, 4),), (), ((0, 1),),
          chosen=Chosen("a NaN bound is refused by name (in Pyomo by its own check as the adapter reads the "
                        "bound), where HiGHS fails with a model error: unknown in Pyomo and linopy, in SciPy status "
                        "2 with the message 'Model error'", {"pyomo": "refused (ValueError)",
                                                             "linopy": "refused (ValueError)",
                                                             "scipy": "refused (ValueError)"})),
    Model("crossed bounds and a NaN coefficient", (Var("x", 5, 1), Var("y", 0, 1)), (Row(((1, NAN),), upper=1),),
          ((0, 1),), chosen=nan_refused("pulp", "pyomo", "scipy")),
    Model("infinite coefficient", (Var("x", 0, 4),), (Row(((0, INF),), upper=3),), ((0, 1),), chosen=INFINITY_REFUSED),
    Model("every second integer", (Var("x", 0, 10, domain=("range", 0, 10, 2)),), (Row(((0, 1),), upper=5),),
          ((0, 1),), maximize=True),
    Model("a set of values", (Var("x", 1, 7, domain=("set", (1, 3, 7))),), (Row(((0, 1),), upper=5),), ((0, 1),),
          maximize=True),
    Model("steps of one half", (Var("x", 0, 5, domain=("range", 0, 5, 0.5)),), (Row(((0, 1),), upper=2.2),),
          ((0, 1),), maximize=True),
    Model("assignment", tuple(Var(f"a{i}{j}", 0, 1, "B") for i in range(4) for j in range(4)),
          tuple(Row(tuple((4 * i + j, 1) for j in range(4)), 1, 1) for i in range(4))
          + tuple(Row(tuple((4 * i + j, 1) for i in range(4)), 1, 1) for j in range(4)),
          tuple((4 * i + j, (7 * i + 3 * j * j + i * j) % 11 + 1 + 0.01 * (4 * i + j)) for i in range(4)
                for j in range(4))),
]


def _generated(seed: int) -> Model:
    """A small random model with every variable bounded (so never unbounded; infeasible now and then), integer
    data, a mix of continuous, integer and binary variables and of row senses."""
    rng = random.Random(seed)
    n = rng.randint(2, 6)
    variables = []
    for i in range(n):
        kind = rng.choice("CCIB")
        lb, ub = (0, 1) if kind == "B" else sorted(rng.sample(range(-6, 12), 2))
        variables.append(Var(f"v{i}", lb, ub, kind))
    rows = []
    for _ in range(rng.randint(1, 5)):
        terms = tuple((i, rng.choice([-3, -2, -1, 1, 1, 2, 3, 4])) for i in rng.sample(range(n), rng.randint(1, n)))
        rhs = rng.randint(-4, 15)
        sense = rng.choice("<<>=")
        rows.append(Row(terms, upper=rhs) if sense == "<" else Row(terms, lower=rhs) if sense == ">"
                    else Row(terms, rhs, rhs))
    objective = tuple((i, rng.choice([-5, -4, -3, -2, -1, 1, 2, 3, 4, 5])) for i in range(n))
    return Model(f"generated {seed}", tuple(variables), tuple(rows), objective, constant=rng.choice([0, 0, 2.5]),
                 maximize=rng.random() < 0.5, unique=False)


MODELS = HAND_WRITTEN + [_generated(seed) for seed in range(40)]
