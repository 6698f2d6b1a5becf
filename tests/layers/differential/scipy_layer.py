"""The harness's SciPy builder: a table model as scipy.optimize.milp's arguments, solved by
brenlox_copt_modelling.scipy.milp or by SciPy's own milp (HiGHS). milp has no objective constant: it is added to
the reported objective for both."""

from __future__ import annotations

from .compare import Result
from .table import Model

MODULE = "scipy"


def unsupported(model: Model) -> str | None:
    return "discrete domains" if any(v.domain for v in model.variables) else None


def build(model: Model):
    import numpy as np
    from scipy.optimize import Bounds, LinearConstraint

    n = len(model.variables)
    sign = -1.0 if model.maximize else 1.0
    c = np.zeros(n)
    for j, coefficient in model.objective or ():
        c[j] += sign * coefficient
    lb = np.array([v.lb if v.fixed is None else v.fixed for v in model.variables], dtype=float)
    ub = np.array([v.ub if v.fixed is None else v.fixed for v in model.variables], dtype=float)
    a = np.zeros((len(model.rows), n))
    for r, row in enumerate(model.rows):
        for j, coefficient in row.terms:
            a[r, j] += coefficient
    constraints = [LinearConstraint(a, [row.lower for row in model.rows], [row.upper for row in model.rows])]
    integrality = np.array([0 if v.kind == "C" else 1 for v in model.variables])
    return dict(c=c, integrality=integrality, bounds=Bounds(lb, ub), constraints=constraints if model.rows else None)


def solve(built, model: Model, ours: bool) -> Result:
    if ours:
        from brenlox_copt_modelling.scipy import milp
    else:
        from scipy.optimize import milp

    options = {"mip_rel_gap": 0.0} | ({} if model.time_limit is None else {"time_limit": model.time_limit})
    res = milp(**built, options=options)
    status = f"{res.status} {res.message.partition(' (')[0]}"
    if res.x is None:
        return Result(status)
    objective = None if model.objective is None else (-1.0 if model.maximize else 1.0) * res.fun + model.constant
    return Result(status, objective, tuple(float(x) for x in res.x))
