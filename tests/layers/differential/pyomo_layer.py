"""The harness's Pyomo builder: a table model as a Pyomo model, solved by "brenlox_copt" or by Pyomo's "highs"
(both of pyomo.contrib.solver)."""

from __future__ import annotations

from .compare import Result
from .table import INF, Model

MODULE = "pyomo"


def unsupported(model: Model) -> str | None:
    return None


def build(model: Model):
    import pyomo.environ as pyo

    m = pyo.ConcreteModel()
    domains = {"C": pyo.Reals, "I": pyo.Integers, "B": pyo.Binary}
    variables = []
    for i, var in enumerate(model.variables):
        if var.domain is None:
            x = pyo.Var(domain=domains[var.kind], bounds=(None if var.lb == -INF else var.lb,
                                                          None if var.ub == INF else var.ub))
        else:
            shape, *given = var.domain
            domain = pyo.RangeSet(*given) if shape == "range" else pyo.Set(initialize=given[0])
            m.add_component(f"domain{i}", domain)
            x = pyo.Var(domain=domain)
        m.add_component(var.name, x)
        if var.fixed is not None:
            x.fix(var.fixed)
        variables.append(x)
    for i, row in enumerate(model.rows):
        expression = sum(c * variables[j] for j, c in row.terms)
        if row.lower == row.upper:
            rule = expression == row.lower
        elif row.lower == -INF:
            rule = expression <= row.upper
        elif row.upper == INF:
            rule = expression >= row.lower
        else:
            rule = pyo.inequality(row.lower, expression, row.upper)
        m.add_component(f"r{i}", pyo.Constraint(expr=rule))
    if model.objective is not None:
        expression = sum(c * variables[j] for j, c in model.objective) + model.constant
        m.objective = pyo.Objective(expr=expression, sense=pyo.maximize if model.maximize else pyo.minimize)
    return m, variables


def solve(built, model: Model, ours: bool) -> Result:
    from pyomo.contrib.solver.common.factory import SolverFactory

    import brenlox_copt_modelling.pyomo  # noqa: F401 - registers "brenlox_copt"

    m, variables = built
    results = SolverFactory("brenlox_copt" if ours else "highs").solve(
        m, load_solutions=False, raise_exception_on_nonoptimal_result=False, rel_gap=0.0, time_limit=model.time_limit)
    status = f"{results.termination_condition.name} / {results.solution_status.name}"
    if not results.solution_loader.get_number_of_solutions():
        return Result(status)
    values = results.solution_loader.get_vars()
    return Result(status, results.incumbent_objective, tuple(values.get(x) for x in variables))
