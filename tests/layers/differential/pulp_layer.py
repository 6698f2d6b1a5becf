"""The harness's PuLP 3 builder: a table model as a PuLP problem, solved by BRENLOX_COPT or by PuLP's HiGHS (its
problem building serves PuLP 4's builder too)."""

from __future__ import annotations

from .compare import Result
from .table import INF, Model

MODULE = "pulp"
MAJOR = 3


def unsupported(model: Model) -> str | None:
    return "discrete domains" if any(v.domain for v in model.variables) else None


def build(model: Model):
    import pulp

    prob = pulp.LpProblem("differential", pulp.LpMaximize if model.maximize else pulp.LpMinimize)
    category = {"C": pulp.LpContinuous, "I": pulp.LpInteger, "B": pulp.LpBinary}
    variables = []
    for var in model.variables:
        x = prob.add_variable(var.name, None if var.lb == -INF else var.lb, None if var.ub == INF else var.ub,
                              category[var.kind])
        if var.fixed is not None:
            x.setInitialValue(var.fixed)
            x.fixValue()
        variables.append(x)
    for i, row in enumerate(model.rows):
        expression = _sum(pulp, variables, row.terms)
        for compare, rhs, suffix in row.sides():
            prob += compare(expression, rhs), f"r{i}{suffix}"
    if model.objective is not None:
        prob += _sum(pulp, variables, model.objective) + model.constant
    return prob, variables


def solve(built, model: Model, ours: bool) -> Result:
    import pulp

    from brenlox_copt_modelling.pulp import BRENLOX_COPT

    prob, variables = built
    options = dict(msg=False, gapRel=0.0, timeLimit=model.time_limit)
    prob.solve(BRENLOX_COPT(**options) if ours else pulp.HiGHS(**options))
    status = f"{pulp.LpStatus[prob.status]} / {pulp.LpSolution[prob.sol_status]}"
    if prob.sol_status not in (pulp.LpSolutionOptimal, pulp.LpSolutionIntegerFeasible):
        return Result(status)
    objective = None if model.objective is None else pulp.value(prob.objective)
    return Result(status, objective, tuple(v.varValue for v in variables))


def _sum(pulp, variables, terms):
    """The terms as one expression, repeated variables summed; built term by term as from data (PuLP's arithmetic
    refuses a NaN itself, its expression's addterm does not)."""
    expression = getattr(pulp.LpAffineExpression, "empty", pulp.LpAffineExpression)()  # PuLP 4's, PuLP 3's
    for j, c in terms:
        expression.addterm(variables[j], c)
    return expression
