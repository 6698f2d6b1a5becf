"""Child interpreter of tests/test_memory_exhaustion.py: does this interpreter itself mishandle a failed allocation,
with no module of ours involved? Prints a JSON object: the faults found while it creates a class ("class creation")
and while it raises an error with a formatted message ("formatted error"), each a list (empty when none).

Two class-creation faults are known, both in CPython 3.13.0 and neither in 3.11 or 3.12: PyType_FromSpec crashes
(type_ready -> type_add_method -> dictresize reads a NULL key left by an earlier failed insertion), and setting a class
attribute raises AttributeError instead of MemoryError. One formatted-error fault is known, in CPython 3.11.2 (Debian
12's own) and not in 3.11.7: when PyErr_Format cannot allocate the message, it drops the MemoryError and raises the
requested error with an empty message. Each try runs in a forked copy of this process.
Usage: python -m support.interpreter_faults"""

from __future__ import annotations

import ctypes
import json
import operator
import os
from collections.abc import Callable

import _testcapi

TRIES = 150
METHODS = 12
METH_O = 0x0008
PY_TP_METHODS = 64


class _MethodDef(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char_p), ("meth", ctypes.c_void_p), ("flags", ctypes.c_int), ("doc", ctypes.c_char_p)]


class _Slot(ctypes.Structure):
    _fields_ = [("slot", ctypes.c_int), ("pfunc", ctypes.c_void_p)]


class _Spec(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char_p), ("basicsize", ctypes.c_int), ("itemsize", ctypes.c_int),
                ("flags", ctypes.c_uint), ("slots", ctypes.POINTER(_Slot))]


_METHOD = ctypes.PYFUNCTYPE(ctypes.py_object, ctypes.py_object, ctypes.py_object)(lambda _self, _arg: None)
_METHODS = (_MethodDef * (METHODS + 1))(
    *[_MethodDef(f"method_{i}".encode(), ctypes.cast(_METHOD, ctypes.c_void_p), METH_O, None) for i in range(METHODS)]
)
_SLOTS = (_Slot * 2)(_Slot(PY_TP_METHODS, ctypes.cast(_METHODS, ctypes.c_void_p)), _Slot(0, None))
_SPEC = _Spec(b"faults.WithMethods", 0, 0, 0, _SLOTS)
_FROM_SPEC = ctypes.pythonapi.PyType_FromSpec
# A raw pointer, not py_object: ctypes itself cannot turn a NULL result into the pending error when memory is short.
_FROM_SPEC.restype = ctypes.c_void_p
_FROM_SPEC.argtypes = [ctypes.POINTER(_Spec)]


def type_from_spec() -> str:
    _FROM_SPEC(ctypes.byref(_SPEC))
    return "ok"


def set_class_attributes() -> str:
    cls = type("Plain", (), {})
    try:
        for i in range(8):
            setattr(cls, f"NAME_{i}", "value")
    except AttributeError:
        return "AttributeError"
    except MemoryError:
        pass
    return "ok"


def index_of_text() -> str:
    # CPython's own "'str' object cannot be interpreted as an integer", formatted by PyErr_Format.
    try:
        operator.index("x")
    except TypeError as error:
        return "ok" if str(error) else "empty TypeError"
    return "ok"


def outcomes(operation: Callable[[], str]) -> set[str]:
    """What the operation gave with allocation k failing, for each k below TRIES; "crash" for a try that died."""
    seen = set()
    for k in range(TRIES):
        reader, writer = os.pipe()
        pid = os.fork()
        if pid == 0:
            os.close(reader)
            _testcapi.set_nomemory(k, k + 1)
            try:
                outcome = operation()
            except BaseException:  # noqa: BLE001 - any error but the two looked for is an allowed outcome
                outcome = "ok"
            _testcapi.remove_mem_hooks()
            os.write(writer, outcome.encode())
            os._exit(0)
        os.close(writer)
        with os.fdopen(reader, "rb") as pipe:
            data = pipe.read().decode()
        _, status = os.waitpid(pid, 0)
        seen.add(data if status == 0 and data else "crash")
    return seen


if __name__ == "__main__":
    faults: dict[str, list[str]] = {"class creation": [], "formatted error": []}
    if "crash" in outcomes(type_from_spec):
        faults["class creation"].append("PyType_FromSpec crashes when an allocation fails (type_ready -> dictresize)")
    if "AttributeError" in outcomes(set_class_attributes):
        faults["class creation"].append(
            "setting a class attribute raises AttributeError instead of MemoryError when an allocation fails")
    if "empty TypeError" in outcomes(index_of_text):
        faults["formatted error"].append(
            "PyErr_Format raises its error with an empty message instead of MemoryError when the message cannot be "
            "allocated")
    print(json.dumps(faults))
