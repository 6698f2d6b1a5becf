"""A first model in linopy, solved by COPT through brenlox_copt (pip install "brenlox-copt[linopy]")."""

import linopy

from brenlox_copt_modelling.linopy import solve

m = linopy.Model()
chairs = m.add_variables(lower=0, name="chairs")
tables = m.add_variables(lower=0, name="tables", integer=True)
m.add_constraints(5 * chairs + 20 * tables <= 400, name="wood")
m.add_constraints(10 * chairs + 15 * tables <= 450, name="labour")
m.add_objective(45 * chairs + 80 * tables, sense="max")
status, condition = solve(m, silent=True, time_limit=60)   # as m.solve(...) would return
print(f"linopy: {status} {condition}, profit {m.objective.value:.2f} "
      f"(chairs {float(chairs.solution):.2f}, tables {float(tables.solution):.2f})")
