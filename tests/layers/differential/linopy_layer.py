"""The harness's linopy builder: a table model as a linopy model, solved by brenlox_copt_modelling.linopy.solve or by
linopy's HiGHS direct path (Model.solve with io_api="direct"). linopy takes no constant in an objective: it is added
to the reported objective for both."""

from __future__ import annotations

import math
import warnings

from .compare import Result
from .table import Model

MODULE = "linopy"


def unsupported(model: Model) -> str | None:
    return "discrete domains" if any(v.domain for v in model.variables) else None


def build(model: Model):
    import linopy

    with warnings.catch_warnings():
        # linopy takes a NaN factor as 0 with this warning (its coming semantics refuse it): here, its refusal.
        warnings.simplefilter("error", linopy.LinopySemanticsWarning)
        return _build(linopy, model)


def _build(linopy, model: Model):
    m = linopy.Model()
    variables = []
    for var in model.variables:
        if var.kind == "B":
            x = m.add_variables(name=var.name, binary=True)
        else:
            x = m.add_variables(lower=var.lb, upper=var.ub, name=var.name, integer=var.kind == "I")
        if var.fixed is not None:
            x.fix(var.fixed)
        variables.append(x)
    for i, row in enumerate(model.rows):
        expression = sum(c * variables[j] for j, c in row.terms)
        for compare, rhs, suffix in row.sides():
            m.add_constraints(compare(expression, rhs), name=f"r{i}{suffix}")
    if model.objective is not None and variables:
        terms = [c * variables[j] for j, c in model.objective] or [0 * variables[0]]
        m.add_objective(sum(terms[1:], terms[0]), sense="max" if model.maximize else "min")
    return m, variables


def solve(built, model: Model, ours: bool) -> Result:
    from brenlox_copt_modelling.linopy import solve as solve_ours

    m, variables = built
    limit = {} if model.time_limit is None else {"time_limit": model.time_limit}
    if ours:
        status = solve_ours(m, silent=True, rel_gap=0.0, **limit)
    else:
        status = m.solve(solver_name="highs", io_api="direct", output_flag=False, mip_rel_gap=0.0, **limit)
    words = " / ".join(status)
    if m.status != "ok" or math.isnan(m.objective.value):
        return Result(words)
    objective = None if model.objective is None else float(m.objective.value) + model.constant
    return Result(words, objective, tuple(_value(x) for x in variables))


def _value(x) -> float | None:
    value = float(x.solution)
    return None if math.isnan(value) else value
