"""A first model in PuLP, solved by COPT through brenlox_copt (pip install "brenlox-copt[pulp]")."""

import pulp

from brenlox_copt_modelling.pulp import BRENLOX_COPT

prob = pulp.LpProblem("production", pulp.LpMaximize)
chairs = prob.add_variable("chairs", lowBound=0)
tables = prob.add_variable("tables", lowBound=0, cat="Integer")
prob += 45 * chairs + 80 * tables, "profit"
prob += 5 * chairs + 20 * tables <= 400, "wood"
prob += 10 * chairs + 15 * tables <= 450, "labour"
result = prob.solve(BRENLOX_COPT(msg=False, timeLimit=60))
# PuLP 4 returns the solve's statistics, PuLP 3 a status code.
status = result.status_str if hasattr(result, "status_str") else pulp.LpStatus[result]
print(f"pulp: {status}, profit {pulp.value(prob.objective):.2f} "
      f"(chairs {chairs.varValue:.2f}, tables {tables.varValue:.2f})")
