"""A first model in CVXPY, solved by COPT through brenlox_copt (pip install "brenlox-copt[cvxpy]")."""

import cvxpy as cp

from brenlox_copt_modelling.cvxpy import BRENLOX_COPT

chairs = cp.Variable(nonneg=True)
tables = cp.Variable(integer=True)
problem = cp.Problem(cp.Maximize(45 * chairs + 80 * tables),
                     [5 * chairs + 20 * tables <= 400, 10 * chairs + 15 * tables <= 450, tables >= 0])
problem.solve(solver=BRENLOX_COPT(), time_limit=60)
print(f"cvxpy: {problem.status}, profit {problem.value:.2f} (chairs {chairs.value:.2f}, tables {tables.value:.2f})")
