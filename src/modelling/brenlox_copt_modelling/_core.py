"""What the three adapters share: a model in plain arrays, loaded in batches, its options sent, its results read."""

from __future__ import annotations

import gc
import math
import sys
import threading
import time
import warnings
from collections.abc import Mapping, Sequence
from dataclasses import dataclass, field

import brenlox_copt

# The module's result codes (Model.optimize).
NO_OUTCOME, OPTIMAL, INFEASIBLE, UNBOUNDED, STOPPED_WITH_SOLUTION = range(5)
INF = math.inf


@dataclass
class Arrays:
    """A linear model as the module's batch methods take it. Rows read sum(coeffs * x[vars]) + 0 sense rhs."""

    lbs: list[float] = field(default_factory=list)
    ubs: list[float] = field(default_factory=list)
    vtypes: list[str] | None = None
    names: list[str] | None = None
    row_vars: list[Sequence[int]] = field(default_factory=list)
    row_coeffs: list[Sequence[float]] = field(default_factory=list)
    senses: list[str] = field(default_factory=list)
    rhss: list[float] = field(default_factory=list)
    row_names: list[str] | None = None
    obj_vars: Sequence[int] = ()
    obj_coeffs: Sequence[float] = ()
    obj_constant: float = 0.0
    maximize: bool = False

    def add_range(self, variables: Sequence[int], coeffs: Sequence[float], lower: float, upper: float) -> None:
        """Adds lower <= expression <= upper as the rows the module knows (no ranged sense): one "=" row when both
        sides agree, else one row per finite side, none for a free row."""
        if lower == upper:
            self._row(variables, coeffs, "=", lower)
            return
        if lower > -INF:
            self._row(variables, coeffs, ">", lower)
        if upper < INF:
            self._row(variables, coeffs, "<", upper)

    def _row(self, variables: Sequence[int], coeffs: Sequence[float], sense: str, rhs: float) -> None:
        self.row_vars.append(variables)
        self.row_coeffs.append(coeffs)
        self.senses.append(sense)
        self.rhss.append(rhs)


@dataclass
class Settings:
    """The options every layer offers, in the module's terms; raw holds solver parameters passed on unchanged."""

    silent: bool = True
    time_limit: float | None = None
    rel_gap: float | None = None
    abs_gap: float | None = None
    threads: int | None = None
    raw: Mapping[str, bool | int | float] = field(default_factory=dict)

    def parameters(self) -> list[tuple[str, bool | int | float]]:
        named = [
            ("TimeLimit", None if self.time_limit is None else float(self.time_limit)),
            ("RelGap", None if self.rel_gap is None else float(self.rel_gap)),
            ("AbsGap", None if self.abs_gap is None else float(self.abs_gap)),
            ("Threads", self.threads),
        ]
        return [("Silent", bool(self.silent))] + [(k, v) for k, v in named if v is not None] + list(self.raw.items())


@dataclass
class Outcome:
    code: int
    values: list[float] | None
    objective: float | None
    seconds: float


def ran_to_time_limit(outcome: Outcome, settings: Settings) -> bool:
    """True when the solve lasted its whole time limit. Only then may a stop be put down to the limit: the module's
    result codes 0 and 4 do not say why the solver stopped (0 also covers infeasible-or-unbounded)."""
    return settings.time_limit is not None and outcome.seconds >= settings.time_limit


def csr_rows(starts, indices, values) -> tuple[list[list[int]], list[list[float]]]:
    """The rows of a compressed-row matrix as lists: the module reads a short list of Python numbers faster than a
    short array's buffer. The collector is paused while the many small lists are made: each would count towards a
    collection that finds nothing to free."""
    starts, indices, values = starts.tolist(), indices.tolist(), values.tolist()
    collecting = gc.isenabled()
    gc.disable()
    try:
        bounds = list(zip(starts, starts[1:]))
        return [indices[a:b] for a, b in bounds], [values[a:b] for a, b in bounds]
    finally:
        if collecting:
            gc.enable()


_warned: set[str] = set()


def warn_once(key: str, message: str, layer: str, category: type[Warning] = UserWarning) -> None:
    """Warns once per process, at the user's line: the first caller outside the adapters and the layer's package."""
    if key in _warned:
        return
    _warned.add(key)
    frame, level = sys._getframe(1), 1
    while frame is not None and frame.f_globals.get("__name__", "").partition(".")[0] in ("brenlox_copt_modelling",
                                                                                          layer):
        frame, level = frame.f_back, level + 1
    warnings.warn(message, category, stacklevel=level + 1)


_local = threading.local()


def environment() -> brenlox_copt.Env:
    """This thread's solver environment, made at its first use and shared by every model the adapters build on the
    thread: making one loads the library and starts the solver (a licence check with COPT), once, not per solve.
    Per thread, as an environment serves the thread that made it only."""
    env = getattr(_local, "env", None)
    if env is None:
        env = _local.env = brenlox_copt.Env()
    return env


def available() -> bool:
    """True when the solver library loads and starts."""
    try:
        environment()
    except RuntimeError:
        return False
    return True


def load(arrays: Arrays, settings: Settings) -> brenlox_copt.Model:
    """A new model holding `arrays`, with `settings` sent first (so a silent model never prints)."""
    model = brenlox_copt.Model(env=environment())
    for name, value in settings.parameters():
        model.set_optimizer_attr(name, value)
    n = len(arrays.lbs)
    model.add_variables(n, arrays.names, arrays.vtypes, arrays.lbs, arrays.ubs)
    rows = len(arrays.senses)
    if rows:
        model.add_constraints(arrays.row_vars, arrays.row_coeffs, [0.0] * rows, arrays.senses, arrays.rhss,
                              arrays.row_names)
    model.set_objective(arrays.obj_vars, arrays.obj_coeffs, arrays.obj_constant, 1 if arrays.maximize else -1)
    return model


def solve(model: brenlox_copt.Model, n: int) -> Outcome:
    """Solves and reads back the values of the n variables when the solver kept a solution."""
    started = time.perf_counter()
    code = model.optimize()
    seconds = time.perf_counter() - started
    objective = model.get_objective_value()
    values = None
    if objective is not None:
        get = model.get_var_value
        values = [get(i) for i in range(n)]
    return Outcome(code, values, objective, seconds)
