"""copt.dll opened for real (dlopen, LoadLibrary on Windows) and closed (dlclose, FreeLibrary), its entry points
called through ctypes, plus small helpers that build models through them (for the stand-in's own tests)."""

import ctypes
import os
import sys
from collections.abc import Sequence

import _ctypes

_int, _dbl, _ptr = ctypes.c_int, ctypes.c_double, ctypes.c_void_p

SIGNATURES = {
    "COPT_GetBanner": [],
    "COPT_GetRetcodeMsg": [_int, _ptr, _int],
    "COPT_CreateEnvConfig": [_ptr],
    "COPT_DeleteEnvConfig": [_ptr],
    "COPT_SetEnvConfig": [_ptr, _ptr, _ptr],
    "COPT_CreateEnv": [_ptr],
    "COPT_CreateEnvWithConfig": [_ptr, _ptr],
    "COPT_DeleteEnv": [_ptr],
    "COPT_CreateProb": [_ptr, _ptr],
    "COPT_DeleteProb": [_ptr],
    "COPT_Update": [_ptr],
    "COPT_AddCols": [_ptr, _int] + [_ptr] * 9,
    "COPT_AddRows": [_ptr, _int] + [_ptr] * 8,
    "COPT_SetColObj": [_ptr, _int, _ptr, _ptr],
    "COPT_SetObjConst": [_ptr, _dbl],
    "COPT_SetObjSense": [_ptr, _int],
    "COPT_SetIntParam": [_ptr, _ptr, _int],
    "COPT_SetDblParam": [_ptr, _ptr, _dbl],
    "COPT_GetIntAttr": [_ptr, _ptr, _ptr],
    "COPT_GetDblAttr": [_ptr, _ptr, _ptr],
    "COPT_Solve": [_ptr],
    "COPT_GetSolution": [_ptr, _ptr],
    "COPT_GetLpSolution": [_ptr] * 5,
}


def ints(values: Sequence[int] | None):
    return None if values is None else (ctypes.c_int * len(values))(*values)


def doubles(values: Sequence[float] | None):
    return None if values is None else (ctypes.c_double * len(values))(*values)


def texts(values: Sequence[bytes | None] | None):
    return None if values is None else (ctypes.c_char_p * len(values))(*values)


if sys.platform == "win32":

    def _open(path) -> int:
        return _ctypes.LoadLibrary(str(path))

    _close = _ctypes.FreeLibrary
else:

    def _open(path) -> int:
        return _ctypes.dlopen(str(path), os.RTLD_NOW | os.RTLD_LOCAL)

    _close = _ctypes.dlclose


class Copt:
    """One real load of a copt.dll; entry points are attributes, returning the int status."""

    def __init__(self, path):
        self.handle = _open(path)
        self.dll = ctypes.CDLL(str(path), handle=self.handle)
        for name, argtypes in SIGNATURES.items():
            if hasattr(self.dll, name):
                function = getattr(self.dll, name)
                function.argtypes, function.restype = argtypes, ctypes.c_int

    def __getattr__(self, name):
        return getattr(self.dll, name)

    def close(self):
        _close(self.handle)

    # Helpers that assert success, for tests about something else.

    def create(self, creator: str, *args) -> ctypes.c_void_p:
        handle = ctypes.c_void_p()
        assert getattr(self, creator)(*args, ctypes.byref(handle)) == 0
        assert handle.value
        return handle

    def delete(self, deleter: str, handle: ctypes.c_void_p) -> int:
        return getattr(self, deleter)(ctypes.byref(handle))

    def new_problem(self):
        """A fresh environment and problem, with the engine's log off."""
        env = self.create("COPT_CreateEnv")
        prob = self.create("COPT_CreateProb", env)
        assert self.COPT_SetIntParam(prob, b"Logging", 0) == 0
        return env, prob

    def add_cols(self, prob, types=None, lower=None, upper=None, costs=None, names=None) -> int:
        """The count is the length of the first array given."""
        count = len(next(item for item in (types, lower, upper, costs, names) if item is not None))
        return self.COPT_AddCols(
            prob, count, None, None, None, None, doubles(costs), types, doubles(lower), doubles(upper), texts(names)
        )

    def add_rows(self, prob, rows, lower=None, upper=None, names=None) -> int:
        """`rows` is a list of [(column, value), ...]; the arrays are built in compressed-row form."""
        starts, counts, columns, values = [], [], [], []
        for row in rows:
            starts.append(len(columns))
            counts.append(len(row))
            columns.extend(column for column, _ in row)
            values.extend(value for _, value in row)
        return self.COPT_AddRows(
            prob, len(rows), ints(starts), ints(counts), ints(columns or None), doubles(values or None), None,
            doubles(lower), doubles(upper), texts(names),
        )

    def set_objective(self, prob, costs, constant=0.0, sense=1):
        assert self.COPT_SetColObj(prob, len(costs), ints(range(len(costs))), doubles(costs)) == 0
        assert self.COPT_SetObjConst(prob, constant) == 0
        assert self.COPT_SetObjSense(prob, sense) == 0

    def int_attr(self, prob, name: str) -> int:
        value = ctypes.c_int(-1)
        assert self.COPT_GetIntAttr(prob, name.encode(), ctypes.byref(value)) == 0
        return value.value

    def solve(self, prob) -> dict:
        """Solves and reads back what the module reads: Status, HasSol, IsMIP, then the values and ObjVal."""
        assert self.COPT_Solve(prob) == 0
        result = {name: self.int_attr(prob, name) for name in ("Status", "HasSol", "IsMIP")}
        if result["HasSol"]:
            values = (ctypes.c_double * self.int_attr(prob, "Cols"))()
            objective = ctypes.c_double()
            assert self.COPT_GetSolution(prob, values) == 0
            assert self.COPT_GetDblAttr(prob, b"ObjVal", ctypes.byref(objective)) == 0
            result["values"], result["ObjVal"] = list(values), objective.value
        return result
