"""The benchmark's models as the plain Python lists a user hands to the module. `classic_lp` and `long_rows` are built
exactly as native/build_problem.cpp builds its own, and `checksum` sums them as that program does."""

from __future__ import annotations

import math
from dataclasses import dataclass, field

INF = math.inf
SOLVER_INFINITY = 1e30


@dataclass
class Model:
    """A model's variables and rows as the arguments of add_variables, add_constraints and set_objective."""

    lbs: list[float]
    ubs: list[float]
    fs_vars: list[list[int]]
    fs_coeffs: list[list[float]]
    fs_consts: list[float]
    senses: list[str]
    rhss: list[float]
    names: list[str] | None = None
    vtypes: list[str] | None = None
    row_names: list[str] | None = None
    objective: tuple[list[int], list[float]] = field(default_factory=lambda: ([], []))

    @property
    def n_vars(self) -> int:
        return len(self.lbs)

    @property
    def nnz(self) -> int:
        return sum(map(len, self.fs_vars))


def classic_lp(n: int) -> Model:
    """x_k and y_k for k < n*n, with x_k - y_k >= k // n and x_k + y_k >= 0; minimise the sum of 2 x_k + y_k:
    2 n^2 variables, 2 n^2 rows and 4 n^2 nonzeros."""
    cells = n * n
    ids = list(range(2 * cells))
    one, minus_one, zero = 1.0, -1.0, 0.0
    row_values = [float(i) for i in range(n)]
    fs_vars, fs_coeffs, rhss = [], [], []
    for k in range(cells):
        x, y = ids[k], ids[cells + k]
        fs_vars += ([x, y], [x, y])
        fs_coeffs += ([one, minus_one], [one, one])
        rhss += (row_values[k // n], zero)
    rows = 2 * cells
    return Model(
        lbs=[zero] * (2 * cells),
        ubs=[INF] * (2 * cells),
        fs_vars=fs_vars,
        fs_coeffs=fs_coeffs,
        fs_consts=[zero] * rows,
        senses=[">"] * rows,
        rhss=rhss,
        objective=(ids, [2.0] * cells + [1.0] * cells),
    )


LONG_ROW_VARIABLES = 1000


def long_rows(count: int) -> Model:
    """`count` rows of 100 to 1000 terms each over 1000 variables in [0, 10], each row's sum at most 100."""
    ids = list(range(LONG_ROW_VARIABLES))
    values = [1.0 + j for j in range(5)]
    fs_vars, fs_coeffs = [], []
    for r in range(count):
        length = 100 + (r * 37) % 901
        fs_vars.append([ids[(r * 7 + j * 13) % LONG_ROW_VARIABLES] for j in range(length)])
        fs_coeffs.append([values[j % 5] for j in range(length)])
    return Model(
        lbs=[0.0] * LONG_ROW_VARIABLES,
        ubs=[10.0] * LONG_ROW_VARIABLES,
        fs_vars=fs_vars,
        fs_coeffs=fs_coeffs,
        fs_consts=[0.0] * count,
        senses=["<"] * count,
        rhss=[100.0] * count,
        objective=(ids, [1.0] * LONG_ROW_VARIABLES),
    )


def named_mip(n: int) -> Model:
    """n named variables, integer and binary in turn, and n // 2 named rows of three terms."""
    ids = list(range(n))
    rows = n // 2
    coefficients = [1.0, 2.0, 3.0]
    return Model(
        lbs=[0.0] * n,
        ubs=[10.0 if i % 2 == 0 else 1.0 for i in range(n)],
        names=[f"v{i}" for i in range(n)],
        vtypes=["I" if i % 2 == 0 else "B" for i in range(n)],
        fs_vars=[[ids[(3 * r + t) % n] for t in range(3)] for r in range(rows)],
        fs_coeffs=[list(coefficients) for _ in range(rows)],
        fs_consts=[0.0] * rows,
        senses=["<"] * rows,
        rhss=[10.0] * rows,
        row_names=[f"r{r}" for r in range(rows)],
    )


def two_term_rows(count: int) -> Model:
    """`count` variables and `count` rows x_i + x_(i+1) <= 1, for the single-item calls."""
    ids = list(range(count))
    return Model(
        lbs=[0.0] * count,
        ubs=[INF] * count,
        fs_vars=[[ids[i], ids[(i + 1) % count]] for i in range(count)],
        fs_coeffs=[[1.0, 1.0] for _ in range(count)],
        fs_consts=[0.0] * count,
        senses=["<"] * count,
        rhss=[1.0] * count,
    )


WIDE_ROW_TERMS = 50


def wide_rows(count: int) -> Model:
    """`count` rows of exactly 50 terms over 1000 variables in [0, 10], each row's sum at most 100: rows of one
    length, as a two-dimensional array holds them."""
    ids = list(range(LONG_ROW_VARIABLES))
    return Model(
        lbs=[0.0] * LONG_ROW_VARIABLES,
        ubs=[10.0] * LONG_ROW_VARIABLES,
        fs_vars=[[ids[(r * 7 + j * 13) % LONG_ROW_VARIABLES] for j in range(WIDE_ROW_TERMS)] for r in range(count)],
        fs_coeffs=[[1.0 + (j % 5) for j in range(WIDE_ROW_TERMS)] for _ in range(count)],
        fs_consts=[0.0] * count,
        senses=["<"] * count,
        rhss=[100.0] * count,
        objective=(ids, [1.0] * LONG_ROW_VARIABLES),
    )


BUILDERS = {"lp": classic_lp, "long": long_rows, "mip": named_mip, "single": two_term_rows, "wide": wide_rows}


def clamp(bound: float) -> float:
    return min(max(bound, -SOLVER_INFINITY), SOLVER_INFINITY)


def checksum(model: Model) -> float:
    """The sum native/build_problem.cpp prints for its model, taken in the same order."""
    total = 0.0
    for lower, upper in zip(model.lbs, model.ubs):
        total += clamp(lower) + clamp(upper) * 1e-30
    for variables, coefficients, rhs in zip(model.fs_vars, model.fs_coeffs, model.rhss):
        total += rhs
        for variable, coefficient in zip(variables, coefficients):
            total += variable * coefficient
    objective = 0.0
    for coefficient in model.objective[1]:
        objective += coefficient
    return total + objective


def csr(model: Model) -> tuple[list[int], list[int], list[float], list[float], list[float]]:
    """The rows as flat compressed-row lists with explicit bounds: starts, indices, values, lower and upper, as
    highspy takes them."""
    starts, position = [], 0
    for variables in model.fs_vars:
        starts.append(position)
        position += len(variables)
    indices = [variable for variables in model.fs_vars for variable in variables]
    values = [coefficient for coefficients in model.fs_coeffs for coefficient in coefficients]
    lower = [-INF if sense == "<" else rhs for sense, rhs in zip(model.senses, model.rhss)]
    upper = [INF if sense == ">" else rhs for sense, rhs in zip(model.senses, model.rhss)]
    return starts, indices, values, lower, upper
