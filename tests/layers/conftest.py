"""Isolation for the modelling layers' suites: each test in a working folder of its own (they write files there),
and no solver environment of the adapters left behind."""

import pytest

from support import standin


@pytest.fixture(autouse=True)
def _own_working_folder(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)


def pytest_configure(config):
    # Pyomo's solver tests mark each generated test with its solver's name.
    config.addinivalue_line("markers", "solver(name): the solver a Pyomo solver test runs on")
    # SciPy's milp tests mark their longer cases so (SciPy's own test runner knows them); here they run.
    config.addinivalue_line("markers", "slow: a SciPy test SciPy counts as slow")
    config.addinivalue_line("markers", "xslow: a SciPy test SciPy counts as very slow")


@pytest.fixture(autouse=True)
def _no_shared_environment_afterwards():
    """The adapters keep one solver environment per thread for all their solves: it goes after each test here, so
    that the suites after these see the library's loads and live handles as their own tests leave them."""
    yield
    from brenlox_copt_modelling import _core

    _core._local.__dict__.clear()
    standin.collect_native_garbage()


def pytest_terminal_summary(terminalreporter):
    """The differential harness's summary, when it ran."""
    from differential import not_expressible
    from differential.compare import RECORDS, summary

    if RECORDS:
        terminalreporter.section("differential harness")
        for line in summary(not_expressible()):
            terminalreporter.write_line(line)
