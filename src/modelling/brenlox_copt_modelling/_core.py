"""What the adapters share: a model in plain arrays, loaded in batches, its options sent, its results read."""

from __future__ import annotations

import itertools
import math
import sys
import threading
import time
import warnings
from collections.abc import Callable, Mapping, Sequence
from dataclasses import dataclass, field, replace

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
    row_vars: Sequence[Sequence[int]] = field(default_factory=list)
    row_coeffs: Sequence[Sequence[float]] = field(default_factory=list)
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


class _Rows(Sequence):
    """The rows of a compressed-row matrix, each made as a list when the module reads it: the module reads a short
    list of Python numbers faster than a short array's buffer. A row lives only while it is read, so the many rows
    never pile up as new objects that set the garbage collector off again and again (as a list of them all would)."""

    def __init__(self, flat: list, starts: list[int]):
        self._flat = flat
        self._starts = starts

    def __len__(self) -> int:
        return len(self._starts) - 1

    def __getitem__(self, row: int) -> list:
        row = range(len(self))[row]
        return self._flat[self._starts[row]:self._starts[row + 1]]

    def __iter__(self):
        starts = self._starts
        return map(self._flat.__getitem__, map(slice, starts, itertools.islice(starts, 1, None)))


def csr_rows(starts, indices, values) -> tuple[Sequence[list[int]], Sequence[list[float]]]:
    """The rows of a compressed-row matrix (NumPy arrays of row starts, column indices and values), as the module's
    batch of constraints takes them."""
    starts = starts.tolist()
    return _Rows(indices.tolist(), starts), _Rows(values.tolist(), starts)


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


# What the module raises for a value it refuses (a NaN, a parameter the solver does not know, ...); each layer
# reports it as its own error kind.
_REFUSALS = (RuntimeError, ValueError, TypeError, OverflowError)


def run(arrays: Arrays, settings: Settings, refusal: Callable[[str], Exception]) -> Outcome:
    """Loads `arrays` into a new model and solves it. What the module refuses is raised as refusal(its message),
    from the module's own error."""
    try:
        try:
            model = load(arrays, settings)
        except RuntimeError:
            crossed = [i for i, (lb, ub) in enumerate(zip(arrays.lbs, arrays.ubs)) if lb > ub]
            if not crossed:
                raise
            # A variable whose lower bound is above its upper admits no value: the model is infeasible as it
            # stands, as every solver the layers offer reports it. The rest of it is checked all the same (with
            # those bounds closed), so that what the module refuses is still refused; nothing is solved.
            ubs = list(arrays.ubs)
            for i in crossed:
                ubs[i] = arrays.lbs[i]
            load(replace(arrays, ubs=ubs), settings)
            return Outcome(INFEASIBLE, None, None, 0.0)
        return solve(model, len(arrays.lbs))
    except _REFUSALS as error:
        raise refusal(str(error)) from error


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
