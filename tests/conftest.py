"""Fixtures shared by every test suite."""

import os

import pytest

from support import standin as _standin

# ---- Stand-in solver library (tests/support/standin.py) -------------------------------------------------------------


@pytest.fixture(scope="session", autouse=True)
def standin_copt_home():
    """Points COPT_HOME at the stand-in for the whole session and keeps its state library loaded throughout, so
    that its log and controls survive every load and unload of copt.dll."""
    problem = _standin.missing_build()
    if problem is not None:
        pytest.fail(problem, pytrace=False)
    _standin.load_state()
    previous = os.environ.get("COPT_HOME")
    os.environ["COPT_HOME"] = str(_standin.home())
    yield _standin.home()
    if previous is None:
        os.environ.pop("COPT_HOME", None)
    else:
        os.environ["COPT_HOME"] = previous


@pytest.fixture
def standin():
    """The stand-in's controls and log (the module tests.support.standin), reset before and after the test.

    Garbage holding native objects is collected first: a test's frame and the exception it caught refer to each
    other, which keeps that test's models alive, and their late release would otherwise land in the next test's log.
    Not after the test: its fixtures' values are still held then, so a collection there would free nothing."""
    _standin.collect_native_garbage()
    _standin.reset()
    yield _standin
    _standin.reset()


# ---- End of the stand-in block ---------------------------------------------------------------------------------------
