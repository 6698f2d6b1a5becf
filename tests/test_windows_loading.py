"""What only Windows shows of the library search: drive-relative paths, file names in any letter case, paths beyond
the Basic Multilingual Plane (UTF-16 surrogate pairs), the thread's error mode around the load, and where copt.dll's
own dependencies come from."""

import ctypes
import os
import subprocess
import sys

import pytest

import brenlox_copt
from support.lifecycle import assert_nothing_left, message_of
from support.loader_platform import FIXED_CANDIDATE, place_library

pytestmark = pytest.mark.skipif(sys.platform != "win32", reason="drive letters, error modes, the DLL search: Windows'")

NOT_FOUND = "COPT native library was not found; checked"
SEM_FAILCRITICALERRORS, SEM_NOGPFAULTERRORBOX = 0x1, 0x2


@pytest.mark.parametrize(
    "dll_path, candidate",
    [
        ("Q:", "Q:bin\\copt.dll"),  # the current directory of drive Q:, not its root
        ("Q:\\", "Q:\\bin\\copt.dll"),
        ("Q:/Lib/", "Q:/Lib/bin\\copt.dll"),
        ("Q:copt.dll", "Q:copt.dll"),
        ("Q:\\Lib\\COPT.DLL", "Q:\\Lib\\COPT.DLL"),
    ],
)
def test_drive_candidates(standin, dll_path, candidate):
    assert message_of(RuntimeError, brenlox_copt.Model, dll_path=dll_path) == f"{NOT_FOUND} {candidate}"
    assert standin.history() == []


def test_lone_surrogate_in_copt_home_is_shown_as_a_replacement(standin, monkeypatch):
    monkeypatch.setenv("COPT_HOME", "Q:\\co\ud800pt")
    message = message_of(RuntimeError, brenlox_copt.Env)
    assert message == f"{NOT_FOUND} Q:\\co\ufffdpt\\bin\\copt.dll {FIXED_CANDIDATE}"


@pytest.mark.parametrize(
    "placed, given",
    [
        ("home/BIN/COPT.DLL", "home"),  # the file system ignores letter case
        ("h\u00f6me \U0001f600/bin/copt.dll", "h\u00f6me \U0001f600"),  # a surrogate pair in UTF-16
    ],
)
def test_library_found_through_windows_paths(standin, tmp_path, monkeypatch, placed, given):
    place_library(standin.library_path(), tmp_path / placed)
    monkeypatch.delenv("COPT_HOME")
    model = brenlox_copt.Model(dll_path=str(tmp_path / given))
    assert standin.history() == ["load", "COPT_CreateEnv", "COPT_CreateProb"]
    del model
    assert_nothing_left(standin)


def test_not_found_names_a_path_beyond_the_basic_plane(standin, tmp_path):
    missing = tmp_path / "\U0001f600"
    assert message_of(RuntimeError, brenlox_copt.Env, dll_path=str(missing)) == f"{NOT_FOUND} {missing}\\bin\\copt.dll"


@pytest.mark.parametrize("before", [0, SEM_NOGPFAULTERRORBOX, SEM_FAILCRITICALERRORS])
@pytest.mark.parametrize("loads", [True, False], ids=["load", "failed load"])
def test_thread_error_mode_is_restored(standin, tmp_path, before, loads):
    kernel32 = ctypes.WinDLL("kernel32", use_last_error=True)
    kernel32.SetThreadErrorMode.argtypes = [ctypes.c_uint32, ctypes.c_void_p]
    assert kernel32.SetThreadErrorMode(before, None)
    try:
        if loads:
            model = brenlox_copt.Model()
            del model
        else:
            (tmp_path / "copt.dll").write_text("not a library\n")
            message_of(RuntimeError, brenlox_copt.Model, dll_path=str(tmp_path / "copt.dll"))
        assert kernel32.GetThreadErrorMode() == before
    finally:
        kernel32.SetThreadErrorMode(0, None)
    assert_nothing_left(standin)


@pytest.mark.parametrize("on_path", [True, False], ids=["bin on PATH", "bin not on PATH"])
def test_dependencies_come_from_the_standard_search_not_beside_copt_dll(standin, on_path):
    # A fresh interpreter, which has not loaded the stand-in's state library (copt.dll's dependency in its folder).
    folders = [part for part in os.environ["PATH"].split(os.pathsep) if part and os.path.normcase(part).rstrip("\\")
               != os.path.normcase(str(standin.library_path().parent))]
    if on_path:
        folders.insert(0, str(standin.library_path().parent))
    environment = {**os.environ, "PATH": os.pathsep.join(folders)}
    completed = subprocess.run([sys.executable, "-c", "import brenlox_copt; brenlox_copt.Model()"],
                               capture_output=True, text=True, env=environment, timeout=120, check=False)
    if on_path:
        assert completed.returncode == 0, completed.stderr
    else:
        assert completed.stderr.splitlines()[-1] == (
            f"RuntimeError: failed to load COPT library: failed to open COPT library {standin.library_path()}: "
            "LoadLibraryExW failed"
        )
