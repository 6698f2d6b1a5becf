"""The harness's PuLP 4 builder: the PuLP 3 builder's problem, solved by BRENLOX_COPT or by PuLP's HiGHS and read
back as PuLP 4 reports a solve (LpSolveStats)."""

from __future__ import annotations

from .compare import Result
from .pulp_layer import build, unsupported  # noqa: F401 - PuLP 4 builds a problem as PuLP 3 does
from .table import Model

MODULE = "pulp"
MAJOR = 4


def solve(built, model: Model, ours: bool) -> Result:
    import pulp

    from brenlox_copt_modelling.pulp import BRENLOX_COPT

    prob, variables = built
    options = dict(msg=False, gapRel=0.0, timeLimit=model.time_limit)
    stats = prob.solve(BRENLOX_COPT(**options) if ours else pulp.HiGHS(**options))
    if not stats.has_solution:
        return Result(stats.status.name)
    objective = None if model.objective is None else stats.objective
    return Result(stats.status.name, objective, tuple(v.varValue for v in variables))
