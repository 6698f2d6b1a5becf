"""Skips, each saying why, for the tests that solve on worker processes where this interpreter cannot run them."""

import ctypes
import sys

import pytest

UNDER_WINE = sys.platform == "win32" and hasattr(ctypes.WinDLL("ntdll"), "wine_get_version")


def require_process_pool() -> None:
    """Skips the calling test under Wine, where a process pool of two workers hangs before its first task returns,
    even a task that only sleeps (Wine 8; a pool of one worker runs)."""
    if UNDER_WINE:
        pytest.skip("under Wine 8 a process pool of two workers hangs before its first task returns")


def require_distributed() -> None:
    """Skips the calling test where Dask's distributed cannot be imported: not installed for this interpreter (the
    Windows check installs only pytest and hypothesis), or a dependency without a build for it."""
    require_process_pool()
    try:
        import distributed  # noqa: F401
    except ImportError as error:
        pytest.skip(f"no Dask cluster here: distributed cannot be imported ({error})")
