"""The modelling layers' own solver suites write files into the working folder: each test gets its own."""

import pytest


@pytest.fixture(autouse=True)
def _own_working_folder(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)


def pytest_configure(config):
    # Pyomo's solver tests mark each generated test with its solver's name.
    config.addinivalue_line("markers", "solver(name): the solver a Pyomo solver test runs on")
