"""PuLP's shared solver tests (pulp.tests.test_pulp, the PuLPTest base every PuLP solver runs) with our class, all
of them."""

import pytest

pytest.importorskip("pulp")

from pulp.tests.test_pulp import BaseSolverTest  # noqa: E402

from brenlox_copt_modelling.pulp import BRENLOX_COPT  # noqa: E402


class TestBrenloxCoptWithPuLP(BaseSolverTest.PuLPTest):
    solveInst = BRENLOX_COPT
