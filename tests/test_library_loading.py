"""Finding and loading the solver library, as the constructors EnvrConfig, Env and Model see it."""

import pytest

import brenlox_copt
from support.lifecycle import assert_nothing_left, message_of
from support.loader_platform import FIXED_CANDIDATE, WINDOWS, assert_loader_failure, joined, set_copt_home
from support.loader_platform import place_library as _place_library

CONSTRUCTORS = [brenlox_copt.EnvrConfig, brenlox_copt.Env, brenlox_copt.Model]
CONSTRUCTOR_IDS = ["EnvrConfig", "Env", "Model"]

NOT_FOUND = "COPT native library was not found; checked"
# On POSIX the fixed directory is a relative name, placed under the test's folder; on Windows it is the machine's own.
OUTSIDE_TMP = pytest.mark.skipif(WINDOWS, reason="the fixed directory is the machine's real C:\\Program Files\\copt80")


def place_library(standin, path):
    """Makes `path` a working copt.dll (the stand-in's)."""
    _place_library(standin.library_path(), path)


# dll_path -----------------------------------------------------------------------------------------------------------


@pytest.mark.parametrize("make", CONSTRUCTORS, ids=CONSTRUCTOR_IDS)
@pytest.mark.parametrize(
    "dll_path, candidate",
    [
        ("missing/copt.dll", "missing/copt.dll"),
        ("missing/COPT.Dll", "missing/COPT.Dll"),  # names the file in any letter case: used unchanged
        ("missing", joined("missing/bin/copt.dll")),
        ("missing/", "missing/" + joined("bin/copt.dll")),
        ("missing/copt.dll.old", "missing/copt.dll.old" + joined("/bin/copt.dll")),
        ("", joined("bin/copt.dll")),  # not the same as None: relative to the current directory
    ],
)
def test_missing_dll_path_is_the_only_candidate(standin, tmp_path, monkeypatch, make, dll_path, candidate):
    # COPT_HOME names a working library throughout: a given dll_path must not fall back to it.
    monkeypatch.chdir(tmp_path)
    assert message_of(RuntimeError, make, dll_path=dll_path) == f"{NOT_FOUND} {candidate}"
    assert standin.history() == []
    assert_nothing_left(standin)


def test_directory_holding_copt_dll_but_no_bin_is_not_found(standin, tmp_path):
    place_library(standin, tmp_path / "copt.dll")
    message = message_of(RuntimeError, brenlox_copt.Model, dll_path=str(tmp_path))
    assert message == f"{NOT_FOUND} {tmp_path}{joined('/bin/copt.dll')}"
    assert standin.history() == []


def test_directory_named_copt_dll_is_not_searched_further(standin, tmp_path):
    place_library(standin, tmp_path / "copt.dll" / "bin" / "copt.dll")
    message = message_of(RuntimeError, brenlox_copt.Env, dll_path=str(tmp_path / "copt.dll"))
    assert message == f"{NOT_FOUND} {tmp_path / 'copt.dll'}"


def test_path_with_a_nul_is_never_handed_to_the_system(standin):
    # Cut at the NUL, this path would name the real library.
    dll_path = f"{standin.library_path()}\0/elsewhere/copt.dll"
    assert message_of(RuntimeError, brenlox_copt.EnvrConfig, dll_path=dll_path) == f"{NOT_FOUND} {dll_path}"
    assert standin.history() == []


@pytest.mark.parametrize(
    "link, dll_path",
    [
        ("lib/copt.dll", "lib/copt.dll"),
        ("lib/COPT.DLL", "lib/COPT.DLL"),
        ("lib/bin/copt.dll", "lib"),
        ("lib/bin/copt.dll", "lib/"),
        ("bin/copt.dll", ""),
    ],
)
def test_dll_path_that_names_a_library(standin, tmp_path, monkeypatch, link, dll_path):
    monkeypatch.chdir(tmp_path)
    monkeypatch.delenv("COPT_HOME")
    place_library(standin, tmp_path / link)
    model = brenlox_copt.Model(dll_path=dll_path)
    assert standin.history() == ["load", "COPT_CreateEnv", "COPT_CreateProb"]
    del model
    assert_nothing_left(standin)


# COPT_HOME and the fixed directory ----------------------------------------------------------------------------------


@pytest.mark.parametrize("make", CONSTRUCTORS, ids=CONSTRUCTOR_IDS)
@pytest.mark.parametrize(
    "home, candidates",
    [
        (None, [FIXED_CANDIDATE]),
        ("", [joined("bin/copt.dll"), FIXED_CANDIDATE]),
        ("nowhere", [joined("nowhere/bin/copt.dll"), FIXED_CANDIDATE]),
        ("nowhere/copt.dll", ["nowhere/copt.dll", FIXED_CANDIDATE]),
    ],
)
def test_default_search_not_found(standin, tmp_path, monkeypatch, make, home, candidates):
    monkeypatch.chdir(tmp_path)
    if home is None:
        monkeypatch.delenv("COPT_HOME")
    else:
        set_copt_home(monkeypatch, home)
    assert message_of(RuntimeError, make) == " ".join([NOT_FOUND, *candidates])
    assert standin.history() == []
    assert_nothing_left(standin)


@pytest.mark.parametrize(
    "home, link",
    [
        pytest.param(None, FIXED_CANDIDATE, marks=OUTSIDE_TMP),
        pytest.param("nowhere", FIXED_CANDIDATE, marks=OUTSIDE_TMP),  # COPT_HOME first, then the fixed directory
        ("", "bin/copt.dll"),
        ("home", "home/bin/copt.dll"),
        ("home/bin/Copt.dll", "home/bin/Copt.dll"),
    ],
)
def test_default_search_finds(standin, tmp_path, monkeypatch, home, link):
    monkeypatch.chdir(tmp_path)
    if home is None:
        monkeypatch.delenv("COPT_HOME")
    else:
        set_copt_home(monkeypatch, home)
    place_library(standin, tmp_path / link)
    config = brenlox_copt.EnvrConfig()
    assert standin.history() == ["load", "COPT_CreateEnvConfig"]
    del config
    assert_nothing_left(standin)


# Files that cannot be used ------------------------------------------------------------------------------------------


def test_library_lacking_an_entry_point_is_refused_and_unloaded(standin):
    # Each variant lacks exactly one row; every row of the table is required.
    for index, entry_point in enumerate(standin.entry_points()):
        standin.reset()
        path = standin.variant_path(entry_point)
        make = CONSTRUCTORS[index % len(CONSTRUCTORS)]
        message = message_of(RuntimeError, make, dll_path=str(path))
        prefix = f"failed to load COPT library: failed to load COPT symbol {entry_point} from {path}: "
        assert_loader_failure(message, prefix, "symbol", cause=entry_point)
        assert standin.history() == [f"load:without_{entry_point}", f"unload:without_{entry_point}"]
        assert_nothing_left(standin)


def test_file_that_is_no_library_fails_to_open(standin, tmp_path):
    path = tmp_path / "copt.dll"
    path.write_text("not a shared object\n")
    message = message_of(RuntimeError, brenlox_copt.Env, dll_path=str(path))
    assert_loader_failure(message, f"failed to load COPT library: failed to open COPT library {path}: ", "open")
    assert standin.history() == []
    assert_nothing_left(standin)


# Independent loads ----------------------------------------------------------------------------------------------------


def test_two_loads_are_independent(standin):
    first = brenlox_copt.Model()
    second = brenlox_copt.Model(dll_path=str(standin.library_path()))
    assert standin.calls("COPT_CreateEnv") == [("COPT_CreateEnv", ([None],)), ("COPT_CreateEnv", ([None],))]
    del first
    assert standin.events() == ["load"]
    assert standin.live() == {"configs": 0, "envs": 1, "problems": 1}
    assert second.add_variables(2, lbs=[1.0, 2.0]) == [0, 1]
    assert second.optimize() == 1
    assert second.get_objective_value() == 0.0
    del second
    assert standin.events() == ["load", "unload"]
    assert_nothing_left(standin)


def test_each_kind_of_holder_keeps_its_own_load(standin):
    config = brenlox_copt.EnvrConfig()
    env = brenlox_copt.Env()
    del config
    assert standin.events() == ["load"]
    model = brenlox_copt.Model(env=env)
    del env, model
    assert standin.events() == ["load", "unload"]
    assert_nothing_left(standin)
