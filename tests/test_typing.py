"""The installed stub package matches the module (stubtest) and types a program using every method, with NumPy arrays
wherever the module takes them, under mypy --strict and pyright in strict mode."""

import ctypes
import os
import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[1]
USAGE = ROOT / "tests" / "typing" / "usage.py"
PYRIGHT_CONFIG = ROOT / "tests" / "typing" / "pyrightconfig.json"
# In the build folder so the cache stays out of the source tree, survives between runs and is not shared by a suite
# that runs at the same time against another build (scripts/aarch64-check.sh).
MYPY_CACHE = Path(os.environ.get("BRENLOX_BUILD_DIR") or ROOT / "build") / "mypy-cache"


def run(*args: str) -> subprocess.CompletedProcess[str]:
    return subprocess.run([sys.executable, *args], capture_output=True, text=True, timeout=600, check=False, cwd=ROOT)


UNDER_WINE = sys.platform == "win32" and hasattr(ctypes.WinDLL("ntdll"), "wine_get_version")


@pytest.mark.skipif(UNDER_WINE, reason="mypy's native parser (ast_serialize) needs bcryptprimitives.dll, which Wine 8 "
                    "lacks")
@pytest.mark.parametrize(
    "command",
    [
        ("-m", "mypy.stubtest", "brenlox_copt"),
        # The misuse of Silent and TimeLimit shows as a call of a deprecated overload, which mypy reports only when asked.
        ("-m", "mypy", "--strict", "--enable-error-code", "deprecated", "--cache-dir", str(MYPY_CACHE), str(USAGE)),
        pytest.param(("-m", "pyright", "-p", str(PYRIGHT_CONFIG), "--pythonpath", sys.executable, str(USAGE)),
                     marks=pytest.mark.skipif(bool(os.environ.get("BRENLOX_EMULATOR")),
                                              reason="pyright's node is a program of the emulated machine, which "
                                              "this interpreter cannot start without the emulator")),
    ],
    ids=["stubtest", "mypy-strict", "pyright-strict"],
)
def test_type_checker_accepts_the_stubs(command):
    completed = run(*command)
    assert completed.returncode == 0, completed.stdout + completed.stderr


def test_typed_usage_runs_on_the_solver():
    completed = run(str(USAGE))
    assert completed.returncode == 0, completed.stderr
    assert completed.stdout.split() == ["6.5", "0.0"]
