"""What the adapters' result tables (tests/layers) check alike: a variable's value read back, and the time limits
sent to the solver."""

import math

import pytest


def assert_value(x, want) -> None:
    """want None: no value read back; NaN: some value within the test model's bounds [0, 3]; else that value."""
    if want is None:
        assert x is None
    elif math.isnan(want):
        assert x is not None and 0.0 <= x <= 3.0
    else:
        assert x == pytest.approx(want)


def time_limits(standin) -> list[float]:
    """Every TimeLimit the solver was given, in order."""
    return [call.args[2] for call in standin.calls("COPT_SetDblParam") if call.args[1] == "TimeLimit"]
