"""The harness's CVXPY builder: a table model as a CVXPY problem, solved by BRENLOX_COPT or by CVXPY's HIGHS."""

from __future__ import annotations

from .compare import Result
from .table import Model

MODULE = "cvxpy"


def unsupported(model: Model) -> str | None:
    return "discrete domains" if any(v.domain for v in model.variables) else None


def build(model: Model):
    import cvxpy as cp

    variables, constraints = [], []
    for var in model.variables:
        if var.kind == "B":
            x = cp.Variable(name=var.name, boolean=True)
            constraints += [x >= var.lb, x <= var.ub]
        else:
            x = cp.Variable(name=var.name, integer=var.kind == "I", bounds=[var.lb, var.ub])
        if var.fixed is not None:
            constraints.append(x == var.fixed)
        variables.append(x)
    for row in model.rows:
        expression = sum(c * variables[j] for j, c in row.terms)
        constraints += [compare(expression, rhs) for compare, rhs, _ in row.sides()]
    objective = 0 if model.objective is None else sum(c * variables[j] for j, c in model.objective) + model.constant
    sense = cp.Maximize if model.maximize else cp.Minimize
    return cp.Problem(sense(objective), constraints), variables


def solve(built, model: Model, ours: bool) -> Result:
    import cvxpy as cp

    from brenlox_copt_modelling.cvxpy import BRENLOX_COPT

    problem, variables = built
    limit = {} if model.time_limit is None else {"time_limit": model.time_limit}
    if ours:
        problem.solve(solver=BRENLOX_COPT(), rel_gap=0.0, **limit)
    else:
        problem.solve(solver=cp.HIGHS, mip_rel_gap=0.0, **limit)
    if problem.status not in cp.settings.SOLUTION_PRESENT:
        return Result(problem.status)
    objective = None if model.objective is None else float(problem.value)
    return Result(problem.status, objective, tuple(None if x.value is None else float(x.value) for x in variables))
