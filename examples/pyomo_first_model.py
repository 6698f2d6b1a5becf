"""A first model in Pyomo, solved by COPT through brenlox_copt (pip install "brenlox-copt[pyomo]")."""

import pyomo.environ as pyo
from pyomo.contrib.solver.common.factory import SolverFactory

import brenlox_copt_modelling.pyomo  # noqa: F401  (registers "brenlox_copt")

m = pyo.ConcreteModel()
m.chairs = pyo.Var(within=pyo.NonNegativeReals)
m.tables = pyo.Var(within=pyo.NonNegativeIntegers)
m.profit = pyo.Objective(expr=45 * m.chairs + 80 * m.tables, sense=pyo.maximize)
m.wood = pyo.Constraint(expr=5 * m.chairs + 20 * m.tables <= 400)
m.labour = pyo.Constraint(expr=10 * m.chairs + 15 * m.tables <= 450)
results = SolverFactory("brenlox_copt").solve(m, time_limit=60)
print(f"pyomo: {results.termination_condition.name}, profit {pyo.value(m.profit):.2f} "
      f"(chairs {m.chairs.value:.2f}, tables {m.tables.value:.2f})")
