"""PuLP's shared solver tests (the PuLPTest base every PuLP solver runs) with our class: PuLP 3's in
pulp.tests.test_pulp, PuLP 4's in pulp.tests.solver_common, configured per solver as PuLP configures its own."""

import pytest

pytest.importorskip("pulp")

from brenlox_copt_modelling.pulp import BRENLOX_COPT  # noqa: E402

try:
    from pulp.tests.solver_common import ALLOW_REPEATED_VAR_NAMES, BaseSolverTest, PulpTestConfig
except ImportError:  # PuLP 3
    from pulp.tests.test_pulp import BaseSolverTest

    OVERRIDES = {}
else:
    # PuLP 4's per-solver settings, each with its reason; the adapter's docs (docs/modelling-pulp.md) list the same.
    OVERRIDES = {
        # The model goes to the solver in memory, where names play no part (as for PuLP's HiGHS).
        "test_repeated_name": ALLOW_REPEATED_VAR_NAMES,
        # Off for every solver by default; passes here.
        "test_sequential_solve": PulpTestConfig(skip=False),
        # With warmStart=True, as PuLP runs it for HiGHS: accepted, and the answer is the same.
        "test_initial_value": PulpTestConfig(warm_start=True),
    }


class TestBrenloxCoptWithPuLP(BaseSolverTest.PuLPTest):
    solveInst = BRENLOX_COPT
    pulp_test_overrides = OVERRIDES
