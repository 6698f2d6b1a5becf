"""PuLP's shared solver tests (pulp.tests.test_pulp, the PuLPTest base every PuLP solver runs) with our class."""

import unittest

import pytest

pytest.importorskip("pulp")

from pulp.tests.test_pulp import BaseSolverTest  # noqa: E402

from brenlox_copt_modelling.pulp import BRENLOX_COPT  # noqa: E402

# Each with its reason; the adapter's docs (docs/modelling-pulp.md) list the same.
SKIPPED = {
    "test_fixed_value": "asks for a warm start (warmStart=True), which the module does not offer: refused",
}


class TestBrenloxCoptWithPuLP(BaseSolverTest.PuLPTest):
    solveInst = BRENLOX_COPT


for _name, _reason in SKIPPED.items():
    setattr(TestBrenloxCoptWithPuLP, _name, unittest.skip(_reason)(getattr(BaseSolverTest.PuLPTest, _name)))
