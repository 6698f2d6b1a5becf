"""A first model for SciPy's milp, solved by COPT through brenlox_copt (pip install "brenlox-copt[scipy]"): the
same arguments and result as scipy.optimize.milp."""

import numpy as np
from scipy.optimize import Bounds, LinearConstraint

from brenlox_copt_modelling.scipy import milp

# Variables: chairs, tables. milp minimises, so the profit is negated.
c = -np.array([45.0, 80.0])
wood_and_labour = LinearConstraint([[5, 20], [10, 15]], ub=[400, 450])
res = milp(c, integrality=[0, 1], bounds=Bounds(0, np.inf), constraints=wood_and_labour,
           options={"time_limit": 60})
print(f"scipy: status {res.status} ({res.message.partition(' (')[0]}), profit {-res.fun:.2f} "
      f"(chairs {res.x[0]:.2f}, tables {res.x[1]:.2f})")
