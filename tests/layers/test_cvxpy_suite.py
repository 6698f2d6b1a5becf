"""CVXPY's standard LP and MILP cases (cvxpy.tests.solver_test_helpers), called with our solver object.

The module returns no duals, so the LP cases run with duals=False, as CVXPY's own tests run CBC."""

import pytest

pytest.importorskip("cvxpy")

from cvxpy.tests.solver_test_helpers import StandardTestInfeasibleProblems, StandardTestLPs  # noqa: E402

from brenlox_copt_modelling.cvxpy import BRENLOX_COPT  # noqa: E402

WITH_DUALS = ("test_lp_0", "test_lp_1", "test_lp_2", "test_lp_5", "test_lp_6")
CASES = [
    *((StandardTestLPs, name) for name in WITH_DUALS),
    *((StandardTestLPs, name) for name in ("test_lp_3", "test_lp_4", "test_lp_7", "test_lp_bound_attr")),
    *((StandardTestLPs, f"test_mi_lp_{i}") for i in range(7)),
    (StandardTestInfeasibleProblems, "test_lp_ineq_constraints"),
    (StandardTestInfeasibleProblems, "test_lp_eq_constraints"),
]
# Each with its reason; the adapter's docs (docs/modelling-cvxpy.md) list the same.
SKIPPED = {
    "test_lp_7": "needs SDPA's multiple-precision build (sdpap), which CVXPY runs it with only",
    "test_lp_ineq_constraints": "checks the infeasibility certificate in the duals, which the module does not return",
    "test_lp_eq_constraints": "checks the infeasibility certificate in the duals, which the module does not return",
}


@pytest.mark.parametrize("helper, name", CASES, ids=[f"{h.__name__}.{n}" for h, n in CASES])
def test_cvxpy_standard_case(helper, name):
    if name in SKIPPED:
        pytest.skip(SKIPPED[name])
    kwargs = {"duals": False} if name in WITH_DUALS else {}
    getattr(helper, name)(BRENLOX_COPT(), **kwargs)
