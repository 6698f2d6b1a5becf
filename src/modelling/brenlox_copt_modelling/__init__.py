"""brenlox_copt from the modelling layers people already use: PuLP, Pyomo and CVXPY.

One import per layer, each loading that layer only when asked for:

- ``from brenlox_copt_modelling.pulp import BRENLOX_COPT`` (``prob.solve(BRENLOX_COPT(msg=False))``)
- ``import brenlox_copt_modelling.pyomo`` (then ``SolverFactory("brenlox_copt")`` of ``pyomo.contrib.solver``)
- ``from brenlox_copt_modelling.cvxpy import BRENLOX_COPT`` (``problem.solve(solver=BRENLOX_COPT())``)

Every adapter hands its model to :mod:`brenlox_copt` in batches (one ``add_variables``, one ``add_constraints``) and
refuses, with the layer's own error kind, what the module cannot do.
"""

__all__: list[str] = []
# The release this package ships in (the project's version); read here rather than from the installed package's
# metadata, which a source tree does not have.
__version__ = "0.1.0"
