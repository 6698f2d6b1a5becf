"""The shapes an argument can take on its way into the module, and what the module must make of each: its items, read
through the iteration protocol, converted the way a list's items are (`convert`).

A form turns a list of plain values into another object (a tuple, a NumPy array of some dtype, byte order and stride,
a masked array, an array.array, a memoryview, a subclass whose __iter__ disagrees with its memory, items that are
only __index__ or __float__ ...). Whatever the object holds in memory, the module must read what iterating it
yields, exactly as if that had been given as a list."""

from __future__ import annotations

import array
import operator
from collections.abc import Callable

import numpy as np

from support.number_likes import Floaty, Index
from support.reference import Refused

# float() would parse these as text; the module takes no text for a number.
PARSED_AS_TEXT = (str, bytes, bytearray)


class Refusal(Exception):
    """The conversion of a parameter's value fails as the module's must: with this exception type and the note."""

    def __init__(self, kind: type, note: str):
        super().__init__(kind, note)
        self.kind, self.note = kind, note

    def predict(self):
        raise Refused(self.kind, None, self.note)


def convert(kind: str, item):
    """One item as the module converts it: 'id' an unsigned 64-bit integer, 'int' a signed 64-bit one, 'number' a
    double, 'text' a str that has UTF-8, 'char' a str of one character; 'any' is taken as it is."""
    if kind == "any":
        return item
    if isinstance(item, Reentrant):
        item = item.value  # its callback runs only inside the module
    if kind in ("id", "int"):
        value = operator.index(item)
        low, high = (0, 2**64) if kind == "id" else (-(2**63), 2**63)
        if not low <= value < high:
            raise OverflowError(value)
        return value
    if kind == "number":
        if isinstance(item, PARSED_AS_TEXT):
            raise TypeError(type(item))
        return float(item)
    if not isinstance(item, str):
        raise TypeError(type(item))
    if kind == "char":
        if len(item) != 1:
            raise ValueError(item)
    else:
        item.encode("utf-8")
    return str(item)


def convert_sequence(kind: str, value, depth: int = 1):
    """A sequence parameter's value as lists (`depth` 2: a sequence of sequences), read the way the module must."""
    if isinstance(value, str):
        raise TypeError(type(value))
    # Item by item: list() would take a lying or failing __len__ as the size to allocate.
    items = [item for item in value]
    if depth == 2:
        return [convert_sequence(kind, row) for row in items]
    return [convert(kind, item) for item in items]


def converted(parameters: list[tuple[str, str, int, object]]) -> list:
    """Each (note, kind, depth, value) converted in order (depth 0: a scalar; None passes as not given); the first
    that fails is the call's Refusal."""
    out = []
    for note, kind, depth, value in parameters:
        try:
            if value is None:
                out.append(None)
            elif depth == 0:
                out.append(convert(kind, value))
            else:
                out.append(convert_sequence(kind, value, depth))
        except Exception as error:  # noqa: BLE001 - whatever the conversion raised, the module must raise too
            raise Refusal(type(error), note) from error
    return out


# Items -----------------------------------------------------------------------------------------------------------


class Reentrant:
    """An item whose conversion first calls back into the model it is being given to: the call must be refused as a
    re-entry, or (with `drop`) the callback drops the program's reference to the model, which must stay alive until
    the call returns."""

    def __init__(self, value, program, drop: bool):
        self.value, self.program, self.drop = value, program, drop

    def callback(self):
        model = self.program.model
        if self.drop:
            self.program.drop_model()
            return
        if model is None:
            return
        for attempt, expected in ((model.add_variable, "Already borrowed"),
                                  (lambda: model.get_var_value(0), "Already mutably borrowed")):
            try:
                attempt()
            except RuntimeError as error:
                assert str(error) == expected, error
            else:
                raise AssertionError("a re-entered call ran")

    def __index__(self):
        self.callback()
        return operator.index(self.value)

    def __float__(self):
        self.callback()
        return float(self.value)


def wrapped_items(values, kind, program, fdp, reentrant=True):
    """The values with some items replaced by objects that convert to them (calling back into the model if
    `reentrant`)."""
    out = list(values)
    for index, value in enumerate(out):
        choice = fdp.ConsumeIntInRange(0, 7 if reentrant else 1)
        if choice == 0 and kind in ("id", "int") and isinstance(value, int):
            out[index] = Index(value)
        elif choice == 1 and kind == "number" and isinstance(value, float):
            out[index] = Floaty(value)
        elif choice == 2 and kind in ("id", "int", "number") and isinstance(value, (int, float)):
            out[index] = Reentrant(value, program, drop=fdp.ConsumeIntInRange(0, 3) == 0)
    return out


# Containers ------------------------------------------------------------------------------------------------------


class Items:
    """__len__ and __getitem__ only; __len__ may lie, or fail as a length that cannot be had does (TypeError)."""

    def __init__(self, values, length):
        self.values, self.length = list(values), length

    def __len__(self):
        if self.length < 0:
            raise TypeError("no length")
        return self.length

    def __getitem__(self, index):
        return self.values[index]


class ReversedList(list):
    """A list whose iteration disagrees with its storage."""

    def __iter__(self):
        return iter(list.__getitem__(self, slice(None, None, -1)))


class ReversedArray(array.array):
    def __iter__(self):
        return iter(self.tolist()[::-1])


class ReversedNdarray(np.ndarray):
    def __iter__(self):
        return iter(np.asarray(self)[::-1])


ID_DTYPES = ["i1", "u1", "i2", "u2", "i4", "u4", "i8", "u8"]
NUMBER_DTYPES = ["f2", "f4", "f8", "i4", "u8", "?", "g", "c16"]
ID_CODES = "bBhHiIlLqQ"
NUMBER_CODES = "fdq"


def ndarray(values, fdp, dtypes):
    """A NumPy array of the values in one of `dtypes`, in either byte order, possibly strided."""
    dtype = np.dtype(fdp.PickValueInList(dtypes)).newbyteorder(fdp.PickValueInList(["=", ">", "<"]))
    with np.errstate(all="ignore"):
        base = np.array(values, dtype=object).astype(dtype) if values else np.array([], dtype=dtype)
    return np.repeat(base, 2)[::2] if fdp.ConsumeBool() else base


def masked(values, fdp, dtypes):
    data = ndarray(values, fdp, dtypes)
    return np.ma.array(data, mask=[fdp.ConsumeBool() for _ in range(len(data))])


def typed_array(values, fdp, codes, cls=array.array):
    code = fdp.PickValueInList(list(codes))
    return cls(code, [int(v) if code in ID_CODES else float(v) for v in values])


def reversed_ndarray(values, fdp, dtypes):
    return ndarray(values[::-1], fdp, dtypes).view(ReversedNdarray)


def memory(values, fdp, dtypes):
    return memoryview(np.ascontiguousarray(ndarray(values, fdp, dtypes)))


def matrix(rows: list, kind: str, fdp):
    """Rows of one length as a two-dimensional NumPy array of the kind's dtypes in some layout (C or Fortran order,
    every other column of a wider one, rows reversed, read-only), as a memoryview of one, or as a list of its rows."""
    width = len(rows[0]) if rows else 0
    if any(len(row) != width for row in rows):
        raise ValueError("rows of different lengths")
    flat = ndarray([value for row in rows for value in row], fdp, ID_DTYPES if kind == "id" else NUMBER_DTYPES)
    table = np.ascontiguousarray(flat).reshape(len(rows), width)
    layout = fdp.ConsumeIntInRange(0, 6)
    if layout == 1:
        return np.asfortranarray(table)
    if layout == 2:
        wide = np.zeros((len(rows), 2 * width), dtype=table.dtype)
        wide[:, ::2] = table
        return wide[:, ::2]
    if layout == 3:
        return table[::-1].copy()[::-1]
    if layout == 4:
        table.flags.writeable = False
    if layout == 5:
        return memoryview(table)
    return list(table) if layout == 6 else table


# kind: forms; each takes (values, fdp) and returns an object, or raises to leave the values as a list.
FORMS: dict[str, list[Callable]] = {
    "id": [
        lambda v, f: ndarray(v, f, ID_DTYPES), lambda v, f: masked(v, f, ID_DTYPES),
        lambda v, f: typed_array(v, f, ID_CODES), lambda v, f: typed_array(v[::-1], f, ID_CODES, ReversedArray),
        lambda v, f: reversed_ndarray(v, f, ID_DTYPES), lambda v, f: memory(v, f, ID_DTYPES),
        lambda v, f: bytes(v), lambda v, f: bytearray(v),
    ],
    "number": [
        lambda v, f: ndarray(v, f, NUMBER_DTYPES), lambda v, f: masked(v, f, NUMBER_DTYPES),
        lambda v, f: typed_array(v, f, NUMBER_CODES), lambda v, f: typed_array(v[::-1], f, "d", ReversedArray),
        lambda v, f: reversed_ndarray(v, f, NUMBER_DTYPES), lambda v, f: memory(v, f, NUMBER_DTYPES),
    ],
}
COMMON_FORMS = [
    lambda v, f: tuple(v), lambda v, f: range(len(v)) if v == list(range(len(v))) else v,
    lambda v, f: Items(v, f.PickValueInList([len(v), 0, len(v) + 3, 2**62, -1])),
    lambda v, f: ReversedList(v[::-1]), lambda v, f: np.array(v, dtype=object),
]


def shaped_rows(rows: list, kind: str, program, fdp):
    """Rows of values: each row in a form, in an outer form; or all of them as one matrix."""
    if fdp.ConsumeIntInRange(0, 3) == 0:
        try:
            return matrix(rows, kind, fdp)
        except (ValueError, TypeError, OverflowError):
            pass
    return shaped([shaped(row, kind, program, fdp) for row in rows], "rows", program, fdp)


def shaped(values: list, kind: str, program, fdp):
    """The values in a form the fuzzer picks (the plain list among them)."""
    forms = COMMON_FORMS + FORMS.get(kind, [])
    choice = fdp.ConsumeIntInRange(0, len(forms))
    if choice == len(forms):
        return wrapped_items(values, kind, program, fdp)
    try:
        return forms[choice](values, fdp)
    except (ValueError, TypeError, OverflowError, MemoryError):  # e.g. NumPy sizing an array by a lying length
        return values
