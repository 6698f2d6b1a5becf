"""Imports the test-only module brenlox_argcheck from the build tree (BRENLOX_BUILD_DIR, default <repo>/build)."""

import importlib
import os
import sys
import threading
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]


def load():
    build = Path(os.environ.get("BRENLOX_BUILD_DIR", ROOT / "build"))
    directory = str(build / "tests" / "argcheck_module")
    if directory not in sys.path:
        sys.path.insert(0, directory)
    try:
        return importlib.import_module("brenlox_argcheck")
    except ImportError as error:
        pytest.fail(f"the test-only module is not built in {directory}: run scripts/build.sh ({error})")


def run_in_thread(function, *args):
    """Runs function(*args) on a new thread; returns what it returned or the BaseException it raised."""
    outcome = []

    def target():
        try:
            outcome.append(function(*args))
        except BaseException as error:  # the internal-failure exception is not an Exception
            outcome.append(error)

    thread = threading.Thread(target=target)
    thread.start()
    thread.join()
    # Popping breaks the cycle outcome -> error -> traceback -> frame -> outcome, so that what the call held is
    # released when the caller drops the result, on the caller's thread, not whenever the collector runs.
    return outcome.pop()
