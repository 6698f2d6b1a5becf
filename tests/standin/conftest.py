"""Fixtures for the stand-in's own tests."""

import pytest
from standin_ctypes import Copt


@pytest.fixture
def copt(standin):
    """The stand-in's copt.dll, loaded for this test only."""
    library = Copt(standin.library_path())
    yield library
    library.close()


@pytest.fixture
def model(copt):
    """An environment and a problem in it, deleted after the test."""
    env, prob = copt.new_problem()
    yield prob
    copt.delete("COPT_DeleteProb", prob)
    copt.delete("COPT_DeleteEnv", env)
