"""What a builder reports of one solve, how ours is held against the layer's HiGHS adapter, and the run's summary."""

from __future__ import annotations

import math
from collections import defaultdict
from dataclasses import dataclass

from .table import Model


@dataclass(frozen=True)
class Result:
    """status: the layer's own words for the outcome ("refused (ErrorKind)" for an exception); objective and
    values (in the model's variable order, None for a variable the layer reports no value of) only with a solution."""

    status: str
    objective: float | None = None
    values: tuple[float | None, ...] | None = None
    message: str = ""


def outcome(builder, model: Model, ours: bool) -> Result:
    """The model built and solved through the builder's layer, by ours or by HiGHS. A refusal to build is the
    layer's own, the same for both solvers."""
    try:
        built = builder.build(model)
    except Exception as error:  # noqa: BLE001 - whatever the layer refuses is recorded, never raised
        return Result(f"the layer refuses it ({type(error).__name__})", message=_first_line(error))
    try:
        return builder.solve(built, model, ours)
    except Exception as error:  # noqa: BLE001
        return Result(f"refused ({type(error).__name__})", message=_first_line(error))


def _first_line(error: Exception) -> str:
    return (str(error).splitlines() or [""])[0]


def _close(a: float | None, b: float | None) -> bool:
    if a is None or b is None:
        return a is b
    return a == b or math.isclose(a, b, rel_tol=1e-6, abs_tol=1e-6)


def _same_status(a: str, b: str) -> bool:
    """Refusals agree whatever their kind: the layer's HiGHS adapter often fails with a plain ValueError (or worse)
    where ours raises the layer's own error kind."""
    return a == b or (a.startswith("refused") and b.startswith("refused"))


def violations(model: Model, values, objective) -> list[str]:
    """How values break the model (bounds, integrality, domains, rows) or miss the reported objective."""
    found = []
    tolerance = 1e-6
    for var, x in zip(model.variables, values):
        if x is None:
            continue  # a variable the layer gave neither solver (in no row and not in the objective)
        lb, ub = (var.fixed, var.fixed) if var.fixed is not None else (var.lb, var.ub)
        if x < lb - tolerance * max(1, abs(lb)) or x > ub + tolerance * max(1, abs(ub)):
            found.append(f"{var.name} = {x} is outside [{lb}, {ub}]")
        if var.kind in "IB" and abs(x - round(x)) > tolerance:
            found.append(f"{var.name} = {x} is not integer")
        if var.domain is not None:
            found.append(f"{var.name} has a discrete domain, which no adapter of ours solves")
    for r, row in enumerate(model.rows):
        parts = [c * values[i] for i, c in row.terms]
        activity, scale = sum(parts), max([1.0] + [abs(p) for p in parts])
        if activity < row.lower - tolerance * scale or activity > row.upper + tolerance * scale:
            found.append(f"row {r}: {activity} is outside [{row.lower}, {row.upper}]")
    if model.objective is not None and objective is not None:
        value = model.constant + sum(c * values[i] for i, c in model.objective)
        if not _close(value, objective):
            found.append(f"the values give the objective {value}, reported {objective}")
    return found


def disagreement(model: Model, ours: Result, highs: Result) -> str | None:
    """Why ours does not answer as HiGHS does, or None when it does: the same status, and with a solution the same
    objective, values that satisfy the model, and the same values where the optimum is unique."""
    if not _same_status(ours.status, highs.status):
        return f"status: ours {ours.status!r} ({ours.message}), HiGHS {highs.status!r} ({highs.message})"
    if (ours.values is None) != (highs.values is None):
        return f"a solution from {'ours' if highs.values is None else 'HiGHS'} only"
    if ours.values is None:
        return None
    if [x is None for x in ours.values] != [x is None for x in highs.values]:
        return f"values reported: ours {ours.values}, HiGHS {highs.values}"
    if not _close(ours.objective, highs.objective):
        return f"objective: ours {ours.objective}, HiGHS {highs.objective}"
    broken = violations(model, ours.values, ours.objective)
    if broken:
        return "ours breaks the model: " + "; ".join(broken)
    if model.unique and not all(map(_close, ours.values, highs.values)):
        return f"values: ours {ours.values}, HiGHS {highs.values}"
    return None


def verdict(model: Model, layer: str, ours: Result, highs: Result) -> str | None:
    """None when ours agrees with HiGHS or differs exactly as the table chose; else what is wrong."""
    chosen = model.chosen.ours.get(layer) if model.chosen else None
    if chosen is None:
        return disagreement(model, ours, highs)
    if ours.status != chosen:
        return f"chosen difference: ours should report {chosen!r}, it reports {ours.status!r} ({ours.message})"
    if disagreement(model, ours, highs) is None:
        return f"chosen difference: HiGHS now answers as ours does ({highs.status!r}); the table's entry is stale"
    return None


@dataclass(frozen=True)
class Record:
    ours: Result
    highs: Result
    chosen: str | None  # the table's reason, for a chosen difference
    problem: str | None  # what verdict found wrong


# (layer, model name) -> the record of that case, filled by the tests as they run.
RECORDS: dict[tuple[str, str], Record] = {}


def record(model: Model, layer: str, ours: Result, highs: Result, problem: str | None) -> None:
    chosen = model.chosen.reason if model.chosen and layer in model.chosen.ours else None
    RECORDS[layer, model.name] = Record(ours, highs, chosen, problem)


def _how(entry: Record) -> str:
    if entry.problem is not None:
        return "disagree"
    if entry.chosen is not None:
        return "chosen differences"
    if entry.ours.values is not None:
        return "agree with a solution"
    if entry.ours.status.startswith("the layer refuses"):
        return "refused by the layer itself"
    if entry.ours.status.startswith("refused"):
        return "refused by both"
    return "agree without a solution"


def summary(not_expressible: dict[str, list[str]]) -> list[str]:
    """Models per layer and how they compared, every chosen difference with its reason, what a layer cannot state."""
    counts: dict[str, dict[str, int]] = defaultdict(lambda: defaultdict(int))
    differences = []
    for (layer, name), entry in RECORDS.items():
        counts[layer][_how(entry)] += 1
        if entry.chosen is not None:
            differences.append(f"  {layer} / {name}: ours {entry.ours.status}, HiGHS {entry.highs.status}: "
                               f"{entry.chosen}")
    lines = ["differential harness: each model solved through our adapter and through the layer's HiGHS adapter"]
    for layer, tally in counts.items():
        parts = ", ".join(f"{count} {how}" for how, count in tally.items())
        lines.append(f"  {layer}: {sum(tally.values())} models: {parts}")
        if not_expressible.get(layer):
            lines.append(f"    not expressible in {layer}: {', '.join(not_expressible[layer])}")
    lines.append("chosen differences:")
    return lines + (differences or ["  none"])
