"""Solve a model stored in an MPS file (free or fixed form, plain or gzip-compressed).

The small reader below keeps the whole model in plain Python lists, then builds it with three batch calls
(add_variables, add_constraints, set_objective), which is the fast way to hand a large model to the solver.

    python examples/solve_mps.py afiro.mps.gz
"""

from __future__ import annotations

import gzip
import sys
from dataclasses import dataclass, field

import brenlox_copt

INF = float("inf")


@dataclass
class MpsModel:
    """A linear or mixed-integer model as read from MPS: columns, rows in compressed form and the objective."""

    name: str = ""
    maximize: bool = False
    col_names: list[str] = field(default_factory=list)
    col_types: list[str] = field(default_factory=list)
    lbs: list[float] = field(default_factory=list)
    ubs: list[float] = field(default_factory=list)
    objective: list[float] = field(default_factory=list)
    objective_constant: float = 0.0
    row_names: list[str] = field(default_factory=list)
    row_kinds: list[str] = field(default_factory=list)  # 'L', 'G' or 'E'
    row_vars: list[list[int]] = field(default_factory=list)
    row_coeffs: list[list[float]] = field(default_factory=list)
    rhs: list[float] = field(default_factory=list)
    ranges: dict[int, float] = field(default_factory=dict)


def _open(path: str):
    return gzip.open(path, "rt") if path.endswith(".gz") else open(path, encoding="ascii")


def read_mps(path: str) -> MpsModel:
    """Reads NAME, OBJSENSE, ROWS, COLUMNS (with integer markers), RHS, RANGES and every BOUNDS type."""
    model = MpsModel()
    objective_row: str | None = None
    row_index: dict[str, int] = {}
    col_index: dict[str, int] = {}
    free_rows: set[str] = set()
    integer_section = False
    section = ""
    with _open(path) as lines:
        for line in lines:
            if not line.strip() or line.startswith("*"):
                continue
            fields = line.split()
            if not line[0].isspace():
                section = fields[0]
                if section == "NAME":
                    model.name = fields[1] if len(fields) > 1 else ""
                elif section == "OBJSENSE" and len(fields) > 1:
                    model.maximize = fields[1].upper().startswith("MAX")
                continue
            if section == "OBJSENSE":
                model.maximize = fields[0].upper().startswith("MAX")
            elif section == "ROWS":
                kind, name = fields[0].upper(), fields[1]
                if kind == "N":
                    if objective_row is None:
                        objective_row = name
                    else:
                        free_rows.add(name)
                    continue
                row_index[name] = len(model.row_names)
                model.row_names.append(name)
                model.row_kinds.append(kind)
                model.row_vars.append([])
                model.row_coeffs.append([])
                model.rhs.append(0.0)
            elif section == "COLUMNS":
                if len(fields) >= 3 and fields[1] == "'MARKER'":
                    integer_section = fields[2] == "'INTORG'"
                    continue
                column = fields[0]
                index = col_index.get(column)
                if index is None:
                    index = col_index[column] = len(model.col_names)
                    model.col_names.append(column)
                    model.col_types.append("I" if integer_section else "C")
                    model.lbs.append(0.0)
                    model.ubs.append(INF)
                    model.objective.append(0.0)
                for row, value in zip(fields[1::2], fields[2::2]):
                    if row == objective_row:
                        model.objective[index] += float(value)
                    elif row not in free_rows:
                        model.row_vars[row_index[row]].append(index)
                        model.row_coeffs[row_index[row]].append(float(value))
            elif section in ("RHS", "RANGES"):
                pairs = fields[1:] if len(fields) % 2 else fields  # the set name is optional
                for row, value in zip(pairs[0::2], pairs[1::2]):
                    if row == objective_row and section == "RHS":
                        model.objective_constant = -float(value)
                    elif row in row_index:
                        if section == "RHS":
                            model.rhs[row_index[row]] = float(value)
                        else:
                            model.ranges[row_index[row]] = float(value)
            elif section == "BOUNDS":
                kind = fields[0].upper()
                takes_value = kind not in ("FR", "MI", "PL", "BV")
                operands = fields[1:]
                if len(operands) == (3 if takes_value else 2):
                    operands = operands[1:]  # drop the bound set name
                value = float(operands[1]) if takes_value else 0.0
                _apply_bound(model, col_index[operands[0]], kind, value)
    return model


def _apply_bound(model: MpsModel, index: int, kind: str, value: float) -> None:
    if kind == "UP":
        model.ubs[index] = value
        if value < 0 and model.lbs[index] == 0.0:
            model.lbs[index] = -INF
    elif kind == "LO":
        model.lbs[index] = value
    elif kind == "FX":
        model.lbs[index] = model.ubs[index] = value
    elif kind == "FR":
        model.lbs[index], model.ubs[index] = -INF, INF
    elif kind == "MI":
        model.lbs[index] = -INF
    elif kind == "PL":
        model.ubs[index] = INF
    elif kind == "BV":
        model.col_types[index] = "B"
        model.lbs[index], model.ubs[index] = 0.0, 1.0
    elif kind in ("LI", "UI"):
        model.col_types[index] = "I"
        if kind == "LI":
            model.lbs[index] = value
        else:
            model.ubs[index] = value
    else:
        raise ValueError(f"unsupported bound type {kind}")


def _row_sides(model: MpsModel, row: int) -> list[tuple[str, float]]:
    """The one or two (sense, right-hand side) pairs of a row; a ranged row becomes a lower and an upper side."""
    kind, rhs = model.row_kinds[row], model.rhs[row]
    sense = {"L": "<", "G": ">", "E": "="}[kind]
    if row not in model.ranges:
        return [(sense, rhs)]
    width = model.ranges[row]
    if kind == "E":
        low, high = (rhs, rhs + width) if width > 0 else (rhs + width, rhs)
    elif kind == "G":
        low, high = rhs, rhs + abs(width)
    else:
        low, high = rhs - abs(width), rhs
    return [(">", low), ("<", high)]


def build(model: brenlox_copt.Model, mps: MpsModel) -> None:
    """Hands the whole model to the solver in three batch calls."""
    model.add_variables(len(mps.col_names), mps.col_names, mps.col_types, mps.lbs, mps.ubs)
    fs_vars, fs_coeffs, senses, rhss, names = [], [], [], [], []
    for row in range(len(mps.row_names)):
        for sense, rhs in _row_sides(mps, row):
            fs_vars.append(mps.row_vars[row])
            fs_coeffs.append(mps.row_coeffs[row])
            senses.append(sense)
            rhss.append(rhs)
            names.append(mps.row_names[row])
    model.add_constraints(fs_vars, fs_coeffs, [0.0] * len(senses), senses, rhss, names)
    model.set_objective(range(len(mps.col_names)), mps.objective, mps.objective_constant, 1 if mps.maximize else 0)


def solve(path: str, time_limit: float | None = None) -> tuple[int, float | None]:
    """Reads, builds and solves one file; returns the result code and the objective value."""
    mps = read_mps(path)
    model = brenlox_copt.Model()
    model.set_optimizer_attr("Silent", True)
    if time_limit is not None:
        model.set_optimizer_attr("TimeLimit", time_limit)
    build(model, mps)
    status = model.optimize()
    return status, model.get_objective_value()


def main(argv: list[str]) -> int:
    if len(argv) != 2:
        print(__doc__.strip().splitlines()[-1].strip(), file=sys.stderr)
        return 2
    status, objective = solve(argv[1])
    print(f"{argv[1]}: result code {status}, objective {objective}")
    return 0 if status == 1 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
