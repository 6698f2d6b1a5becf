"""NumPy for the test modules that use it; where the interpreter has none, importing this skips the module."""

import pytest

np = pytest.importorskip(
    "numpy", reason="no NumPy for this interpreter: NumPy 2 needs C runtime functions that Wine 8 lacks, and NumPy 1 "
    "has no wheels for CPython 3.13"
)
