"""The stand-in solver from the tests' side: where it is built, its test controls, its call log and its view of the
problems that reached it. Everything goes through the state library (bin/libcopt_standin_state.so, .dll on Windows),
which stays loaded for the whole session, so copt.dll itself is loaded and unloaded only by the code under test."""

from __future__ import annotations

import ctypes
import gc
import json
import os
import sys
from collections.abc import Iterable
from dataclasses import dataclass
from pathlib import Path
from typing import Any

# Markers that stand for arguments the log does not show as values.
OUT = "<out>"  # a non-null output array
DISCARDED = "<discarded>"  # a non-null array not read in the discard mode
UNREAD = "<unread>"  # a non-null array whose length cannot be known (negative count, bad starts)
INVALID = "<invalid>"  # a non-null handle that is not live

CREATORS = ("COPT_CreateEnvConfig", "COPT_CreateEnv", "COPT_CreateEnvWithConfig", "COPT_CreateProb")

_REPO_ROOT = Path(__file__).resolve().parents[2]
_ARM_FAIL, _ARM_FAIL_WITH_HANDLE, _ARM_NULL_HANDLE = 0, 1, 2
_LIVE_KINDS = {"configs": 0, "envs": 1, "problems": 2}
_STATE_LIBRARY = "libcopt_standin_state.dll" if sys.platform == "win32" else "libcopt_standin_state.so"


def home() -> Path:
    """The stand-in's build folder, which tests use as COPT_HOME: $BRENLOX_STANDIN, else <repo>/build/standin."""
    return Path(os.environ.get("BRENLOX_STANDIN") or _REPO_ROOT / "build" / "standin")


def library_path() -> Path:
    """The stand-in's copt.dll."""
    return home() / "bin" / "copt.dll"


def variant_path(entry_point: str) -> Path:
    """The copt.dll that lacks `entry_point` and has every other one."""
    return home() / "variants" / f"without_{entry_point}" / "copt.dll"


def state_library_path() -> Path:
    """The stand-in's state library."""
    return home() / "bin" / _STATE_LIBRARY


def missing_build() -> str | None:
    """Why the stand-in cannot be used, or None when it is built."""
    for path in (library_path(), state_library_path()):
        if not path.is_file():
            return (
                f"the stand-in solver is not built: {path} is missing; run `bash scripts/build.sh` "
                f"(or point BRENLOX_STANDIN at the standin folder of another build)"
            )
    return None


_state: ctypes.CDLL | None = None


def _lib() -> ctypes.CDLL:
    global _state
    if _state is None:
        lib = ctypes.CDLL(str(state_library_path()))
        c_ll, c_str = ctypes.c_longlong, ctypes.c_char_p
        for name, argtypes, restype in (
            ("standin_reset", [], None),
            ("standin_set_logging", [ctypes.c_int], None),
            ("standin_set_discard", [ctypes.c_int], None),
            ("standin_log_at_exit", [c_str], ctypes.c_int),
            ("standin_arm", [c_str, ctypes.c_int, ctypes.c_int, c_ll, ctypes.c_int], ctypes.c_int),
            ("standin_set_message", [ctypes.c_int, c_str, c_ll], ctypes.c_int),
            ("standin_force_int", [c_str, ctypes.c_int], ctypes.c_int),
            ("standin_force_double", [c_str, ctypes.c_double], ctypes.c_int),
            ("standin_force_solution", [ctypes.POINTER(ctypes.c_double), c_ll], ctypes.c_int),
            ("standin_call_count", [c_str], c_ll),
            ("standin_live", [ctypes.c_int], c_ll),
            ("standin_loaded", [], c_ll),
            ("standin_log_json", [], ctypes.c_void_p),
            ("standin_problems_json", [], ctypes.c_void_p),
            ("standin_free", [ctypes.c_void_p], None),
            ("standin_entry_point_name", [ctypes.c_int], c_str),
        ):
            function = getattr(lib, name)
            function.argtypes, function.restype = argtypes, restype
        _state = lib
    return _state


def load_state() -> None:
    """Loads the state library now, so that it outlives every load of copt.dll (the session fixture calls this)."""
    _lib()


def _check(result: int, what: str) -> None:
    if result == -2:
        raise MemoryError(what)
    if result != 0:
        raise ValueError(what)


def _json(function_name: str) -> Any:
    lib = _lib()
    pointer = getattr(lib, function_name)()
    if not pointer:
        raise MemoryError(function_name)
    try:
        return json.loads(ctypes.string_at(pointer).decode("ascii"))
    finally:
        lib.standin_free(pointer)


def _decode(value: Any) -> Any:
    """Texts arrive with each byte as one character; this restores the bytes and reads them as UTF-8, keeping
    invalid bytes as surrogate escapes ("\\udcff" for 0xff)."""
    if isinstance(value, str):
        return value.encode("latin-1").decode("utf-8", "surrogateescape")
    if isinstance(value, list):
        return [_decode(item) for item in value]
    if isinstance(value, dict):
        return {_decode(key): _decode(item) for key, item in value.items()}
    return value


def entry_points() -> tuple[str, ...]:
    """The 23 entry-point names in the function table's order."""
    names = []
    while (name := _lib().standin_entry_point_name(len(names))) is not None:
        names.append(name.decode("ascii"))
    return tuple(names)


def _entry_point(name: str) -> bytes:
    if name not in entry_points():
        raise ValueError(f"unknown entry point {name!r}")
    return name.encode("ascii")


# Controls ------------------------------------------------------------------------------------------------------------


def reset() -> None:
    """Clears every control, the log, the call counts and the numbering of new handles (the next environment is
    "env1" again). Live handles and loaded libraries stay as they are."""
    _lib().standin_reset()


def set_logging(enabled: bool) -> None:
    """With logging off, entry-point calls are counted but not logged; loads and unloads are always logged."""
    _lib().standin_set_logging(int(enabled))


def set_discard(enabled: bool) -> None:
    """In the discard mode COPT_AddCols, COPT_AddRows and COPT_SetColObj check only the handle and the count, keep
    default columns and rows in place of the contents and log their arrays as DISCARDED."""
    _lib().standin_set_discard(int(enabled))


def log_at_exit(path: str | os.PathLike | None) -> None:
    """Makes the state write {"log": [...], "live": {...}, "loaded": n} to `path` when it is destroyed at process
    exit, after the interpreter has released what it releases: how a child process shows what happened at its exit
    (read it with `read_exit_log`). None writes nothing."""
    _check(_lib().standin_log_at_exit(None if path is None else os.fsencode(path)), "log_at_exit")


def read_exit_log(path: str | os.PathLike) -> dict:
    """The file `log_at_exit` wrote: "history" as `history()` gives it, "calls" as `calls()`, "live" as `live()`
    and "loaded" as `loaded()`."""
    raw = json.loads(Path(path).read_text(encoding="ascii"))
    log = _decode(raw["log"])
    return {
        "history": [entry.get("call") or entry["event"] for entry in log],
        "calls": [Call(entry["call"], tuple(entry["args"]), entry["code"]) for entry in log if "call" in entry],
        "live": raw["live"],
        "loaded": raw["loaded"],
    }


def fail(entry_point: str, code: int, nth: int = 1, persistent: bool = False, with_handle: bool = False) -> None:
    """Makes the nth call of `entry_point` from now (and every later one if `persistent`) return `code` without
    doing anything; with `with_handle` (creators only) the call creates a real handle, hands it out and still fails.
    Arming an entry point again replaces its earlier control."""
    if code == 0:
        raise ValueError("a failure needs a nonzero code")
    if with_handle and entry_point not in CREATORS:
        raise ValueError(f"{entry_point} hands out no handle")
    kind = _ARM_FAIL_WITH_HANDLE if with_handle else _ARM_FAIL
    _check(_lib().standin_arm(_entry_point(entry_point), kind, code, nth, int(persistent)), f"fail({entry_point})")


def null_handle(creator: str, nth: int = 1, persistent: bool = False) -> None:
    """Makes the nth call of a creator from now (and every later one if `persistent`) return 0 with a null handle."""
    if creator not in CREATORS:
        raise ValueError(f"{creator} hands out no handle")
    _check(_lib().standin_arm(_entry_point(creator), _ARM_NULL_HANDLE, 0, nth, int(persistent)), "null_handle")


def set_message(code: int, text: str | bytes | None) -> None:
    """Sets what COPT_GetRetcodeMsg gives for `code`: a str (sent as UTF-8), raw bytes (invalid UTF-8 included),
    or None to make the lookup of that code fail."""
    if text is None:
        _check(_lib().standin_set_message(code, None, -1), "set_message")
        return
    data = text.encode("utf-8") if isinstance(text, str) else bytes(text)
    _check(_lib().standin_set_message(code, data, len(data)), "set_message")


def force_result(
    *,
    status: int | None = None,
    has_sol: int | None = None,
    is_mip: int | None = None,
    obj_val: float | None = None,
    solution: Iterable[float] | None = None,
) -> None:
    """Makes the next COPT_Solve report these instead of the engine's (the engine still runs for the rest). A forced
    solution must have one value per column at that solve, or the solve fails with code 16. With a solution but no
    solution from the engine, ObjVal is computed from the solution unless forced too."""
    lib = _lib()
    for attribute, value in (("Status", status), ("HasSol", has_sol), ("IsMIP", is_mip)):
        if value is not None:
            _check(lib.standin_force_int(attribute.encode(), value), f"force_result({attribute})")
    if obj_val is not None:
        _check(lib.standin_force_double(b"ObjVal", obj_val), "force_result(ObjVal)")
    if solution is not None:
        values = [float(value) for value in solution]
        _check(lib.standin_force_solution((ctypes.c_double * len(values))(*values), len(values)), "force_result")


# Observations --------------------------------------------------------------------------------------------------------


class Call(tuple):
    """One logged entry-point call. It equals the plain tuple (name, args), so tests compare it with literals; the
    return code is `.code`. Arguments appear in C order: handles by name ("prob1"), null pointers as None, arrays as
    lists, texts as str, the address of a handle or of an output value as a one-element list of what it held on
    entry ([None] for a handle preset to null), output arrays as OUT."""

    code: int

    def __new__(cls, name: str, args: tuple, code: int) -> Call:
        call = super().__new__(cls, (name, args))
        call.code = code
        return call

    @property
    def name(self) -> str:
        return self[0]

    @property
    def args(self) -> tuple:
        return self[1]

    def __repr__(self) -> str:
        return f"Call({self[0]!r}, {self[1]!r}, code={self.code})"


def _log() -> list[dict]:
    return _decode(_json("standin_log_json"))


def calls(*names: str) -> list[Call]:
    """The logged entry-point calls in order, only those of `names` when given."""
    return [
        Call(entry["call"], tuple(entry["args"]), entry["code"])
        for entry in _log()
        if "call" in entry and (not names or entry["call"] in names)
    ]


def history() -> list[str]:
    """Everything logged in order, by name: entry points, and the events "load" and "unload" of copt.dll (of a
    variant: "load:without_COPT_Solve")."""
    return [entry.get("call") or entry["event"] for entry in _log()]


def events() -> list[str]:
    """Only the load and unload events, in order."""
    return [entry["event"] for entry in _log() if "event" in entry]


def count(entry_point: str) -> int:
    """Calls of `entry_point` since the last reset, counted also while logging is off."""
    return _lib().standin_call_count(_entry_point(entry_point))


def live() -> dict[str, int]:
    """Live handles by kind: {"configs": n, "envs": n, "problems": n}."""
    return {kind: _lib().standin_live(number) for kind, number in _LIVE_KINDS.items()}


def loaded() -> int:
    """Stand-in libraries (copt.dll and variants) mapped right now."""
    return _lib().standin_loaded()


def _native_alive() -> bool:
    return loaded() > 0 or any(live().values())


def collect_native_garbage() -> None:
    """Collects the garbage that holds native objects: only such garbage can reach the stand-in when it goes. A full
    collection walks every object of the session (a tenth of a second here once NumPy, Hypothesis and the test tables
    are loaded), so it runs only while something native is alive after the young generations, where the last test's
    garbage usually is, were collected."""
    if _native_alive():
        gc.collect(1)
        if _native_alive():
            gc.collect()


@dataclass
class Column:
    name: str
    type: str
    lower: float
    upper: float
    objective: float


@dataclass
class Row:
    name: str
    lower: float
    upper: float
    entries: list[tuple[int, float]]  # (column, coefficient) as received, repeats included


@dataclass
class Problem:
    handle: str
    env: str
    columns: list[Column]
    rows: list[Row]
    objective_constant: float
    objective_sense: int
    parameters: dict[str, int | float]  # only those set, by name


def problems() -> list[Problem]:
    """Every live problem as the stand-in holds it, oldest first."""
    return [
        Problem(
            handle=raw["handle"],
            env=raw["env"],
            columns=[Column(**column) for column in raw["columns"]],
            rows=[Row(**{**row, "entries": [tuple(entry) for entry in row["entries"]]}) for row in raw["rows"]],
            objective_constant=raw["objective_constant"],
            objective_sense=raw["objective_sense"],
            parameters=raw["parameters"],
        )
        for raw in _decode(_json("standin_problems_json"))
    ]


def problem(handle: str | None = None) -> Problem:
    """The live problem named `handle`, or the only live problem when no handle is given."""
    found = [item for item in problems() if handle is None or item.handle == handle]
    if len(found) != 1:
        wanted = f"problem {handle!r}" if handle else "exactly one live problem"
        raise LookupError(f"expected {wanted}, found {[item.handle for item in found]}")
    return found[0]
