"""Environments for child interpreters that tests start to watch what happens at exit or on other threads."""

import os
from pathlib import Path

TESTS = Path(__file__).resolve().parents[1]


def child_environment(leaks_on_purpose: bool = False) -> dict[str, str]:
    """This environment with the tests folder importable; a child that leaks on purpose opts out of the leak checker
    that scripts/sanitize.sh runs the suite under."""
    environment = {**os.environ, "PYTHONPATH": os.pathsep.join([str(TESTS), os.environ.get("PYTHONPATH", "")])}
    if leaks_on_purpose:
        environment["ASAN_OPTIONS"] = environment.get("ASAN_OPTIONS", "") + ":detect_leaks=0"
    return environment
