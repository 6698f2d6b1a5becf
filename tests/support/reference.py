"""A pure-Python model of what the module and the stand-in solver should hold, and of the outcome of each Model call:
the state-machine test and the model fuzz target both check the module against it, call by call.

Each operation takes the reference, an optional fault and the call's (converted) arguments, and returns a Step: the
native calls the operation makes, in order, and `predict`, which returns the call's result and updates the reference,
or raises Refused with the error the call must raise (leaving the reference as the call must leave the model)."""

from __future__ import annotations

import math
from collections.abc import Callable
from dataclasses import dataclass, field
from decimal import Decimal
from typing import Any

import pytest

from support import standin

INF = 1e30
C_INT_MAX = 2**31 - 1
FAULT_TEXTS = {6: "an argument value is invalid (type, bound, coefficient, constant or sense)", -5: None}
SOLVER_TEXTS = {
    8: "unknown parameter name",
    9: "the parameter has the other type (integer or double)",
    10: "the parameter value is out of range",
    16: "the forced solution does not have one value per column",
}


def number_text(value: float) -> str:
    """How the module's messages show a double."""
    if math.isnan(value):
        return "NaN"
    if math.isinf(value):
        return "inf" if value > 0 else "-inf"
    text = format(Decimal(repr(float(value))), "f")
    return text.rstrip("0").rstrip(".") if "." in text else text


def shown(character: str) -> str:
    """How the backend's messages show a character: a lone surrogate has no UTF-8 and shows as U+FFFD."""
    return "\ufffd" if 0xD800 <= ord(character) <= 0xDFFF else character


def clamp(value: float) -> float:
    return min(max(value, -INF), INF)


def native_error(label: str, code: int, text: str | None) -> str:
    return f"COPT error in {label}: code {code}" + (f": {text}" if text else "")


class Refused(Exception):
    """What the reference expects a call to raise: the exception type, its message (None: the interpreter's own
    text, not compared) and the note."""

    def __init__(self, kind: type, message: str | None, note: str | None = None):
        super().__init__(kind, message, note)
        self.kind, self.message, self.note = kind, message, note


def invalid_input(message):
    return Refused(RuntimeError, f"Invalid input: {message}")


@dataclass
class Reference:
    """What the module and the solver should hold."""

    columns: list = field(default_factory=list)  # standin.Column
    rows: list = field(default_factory=list)  # standin.Row
    constant: float = 0.0
    sense: int = 1
    parameters: dict = field(default_factory=lambda: {"Logging": 0})
    solution: list | None = None
    objective_value: float | None = None

    def clear_results(self):
        self.solution = self.objective_value = None


@dataclass
class Fault:
    """The k-th native call of the next operation fails with `code`."""

    k: int
    code: int


class NativeCalls:
    """The native calls the reference expects an operation to make, one by one; the faulted one raises."""

    def __init__(self, fault: Fault | None):
        self.fault, self.made = fault, 0

    def make(self, label: str) -> None:
        self.made += 1
        if self.fault is not None and self.fault.k == self.made:
            raise Refused(RuntimeError, native_error(label, self.fault.code, FAULT_TEXTS[self.fault.code]))


@dataclass
class Step:
    labels: list[str]
    predict: Callable[[], Any]


def arm(fault: Fault | None, labels: list[str]) -> None:
    """Arms the stand-in so the k-th of the operation's expected calls fails."""
    if fault is None or fault.k > len(labels):
        return
    entry = labels[fault.k - 1].split("(")[0]
    nth = [label.split("(")[0] for label in labels[: fault.k]].count(entry)
    standin.fail(entry, fault.code, nth)


def check_outcome(call: Callable[[], Any], predict: Callable[[], Any]) -> None:
    """Runs `call` and compares its outcome with the prediction."""
    try:
        expected = predict()
    except Refused as refused:
        with pytest.raises(refused.kind) as caught:
            call()
        assert type(caught.value) is refused.kind
        if refused.message is not None:
            assert str(caught.value) == refused.message
        assert getattr(caught.value, "__notes__", None) == (
            None if refused.note is None else [f"while processing '{refused.note}'"]
        )
    else:
        assert call() == expected


def check_state(model, ref: Reference) -> None:
    """The solver's problem, the parameters set and the model's cached results are those of the reference."""
    problem = standin.problem()
    assert problem.columns == ref.columns
    assert problem.rows == ref.rows
    assert (problem.objective_constant, problem.objective_sense) == (ref.constant, ref.sense)
    assert problem.parameters == ref.parameters
    count = len(ref.columns)
    solution = ref.solution
    expected = [solution[i] if solution is not None and i < len(solution) else None for i in range(count + 2)]
    assert [model.get_var_value(i) for i in range(count + 2)] == expected
    assert model.get_objective_value() == ref.objective_value


# Variables -----------------------------------------------------------------------------------------------------------


def add_variables(ref: Reference, fault: Fault | None, n: int, given: dict) -> Step:
    """`given` holds the keyword arguments names, vtypes, lbs, ubs that the call passes."""

    def predict():
        count = len(ref.columns)
        if n > C_INT_MAX:
            raise invalid_input("variable count exceeds COPT's c_int range")
        bounds = []
        for key, label, default in (("lbs", "lower bounds", 0.0), ("ubs", "upper bounds", math.inf)):
            values = given.get(key)
            if values is None:
                values = [default] * n
            elif len(values) != n:
                raise invalid_input(f"{label} has length {len(values)}, expected {n}")
            elif any(math.isnan(value) for value in values):
                raise invalid_input(f"{label} cannot contain NaN, got NaN")
            bounds.append(values)
        for index, (lower, upper) in enumerate(zip(*bounds)):
            if lower > upper:
                raise invalid_input(
                    f"variable {count + index} has lower bound {number_text(lower)} greater than upper bound "
                    f"{number_text(upper)}"
                )
        types = given.get("vtypes")
        types = ["C"] * n if types is None else types
        if len(types) != n:
            raise invalid_input(f"variable types has length {len(types)}, expected {n}")
        for kind in types:
            if kind not in "CBI":
                raise invalid_input(f"unsupported COPT variable type '{shown(kind)}'; expected 'C', 'B', or 'I'")
        labels = given.get("names")
        labels = [f"x{count + index}" for index in range(n)] if labels is None else labels
        if len(labels) != n:
            raise invalid_input(f"variable names has length {len(labels)}, expected {n}")
        if any("\x00" in label for label in labels):
            raise Refused(RuntimeError, "Invalid name: variable name contains an embedded NUL byte")
        if n:
            NativeCalls(fault).make("COPT_AddCols")
            ref.columns += [
                standin.Column(label, kind, clamp(lower), clamp(upper), 0.0)
                for label, kind, lower, upper in zip(labels, types, *bounds)
            ]
            ref.clear_results()
        return list(range(count, count + n))

    return Step(["COPT_AddCols"], predict)


def add_variable(ref: Reference, fault: Fault | None, lower: float, upper: float, vtype: str, name=None) -> Step:
    def predict():
        count = len(ref.columns)
        for value, label in ((lower, "lower bounds"), (upper, "upper bounds")):
            if math.isnan(value):
                raise invalid_input(f"{label} cannot contain NaN, got NaN")
        if lower > upper:
            raise invalid_input(
                f"variable {count} has lower bound {number_text(lower)} greater than upper bound {number_text(upper)}"
            )
        if vtype not in "CBI":
            raise invalid_input(f"unsupported COPT variable type '{shown(vtype)}'; expected 'C', 'B', or 'I'")
        if name is not None and "\x00" in name:
            raise Refused(RuntimeError, "Invalid name: variable name contains an embedded NUL byte")
        NativeCalls(fault).make("COPT_AddCols")
        ref.columns.append(standin.Column(f"x{count}" if name is None else name, vtype, clamp(lower), clamp(upper), 0.0))
        ref.clear_results()
        return count

    return Step(["COPT_AddCols"], predict)


# Constraints ---------------------------------------------------------------------------------------------------------


def _row(ref: Reference, k: int, variables, coefficients, constant, sense, rhs, name) -> standin.Row:
    """The solver's row for one constraint (its id is len(rows) + k), or Refused for its values."""
    if not math.isfinite(constant):
        raise invalid_input(f"constraint constant must be finite, got {number_text(constant)}")
    for variable, coefficient in zip(variables, coefficients):
        if variable >= len(ref.columns):
            raise Refused(RuntimeError, f"Invalid variable index: {variable}")
        if not math.isfinite(coefficient):
            raise invalid_input(f"constraint coefficient must be finite, got {number_text(coefficient)}")
    row_id = len(ref.rows) + k
    if sense == "=" and math.isnan(rhs):
        raise invalid_input(f"constraint {row_id} has invalid bounds [NaN, NaN]")
    if math.isnan(rhs - constant):
        raise invalid_input(f"constraint {row_id} produces a NaN bound")
    bound = clamp(rhs - constant)
    lower, upper = {"<": (-INF, bound), ">": (bound, INF), "=": (bound, bound)}[sense]
    return standin.Row(f"c{row_id}" if name is None else name, lower, upper, list(zip(variables, coefficients)))


def add_constraints(ref: Reference, fault: Fault | None, fs_vars, fs_coeffs, consts, senses, rhss, names) -> Step:
    def predict():
        m = len(fs_vars)
        for actual, label in ((fs_coeffs, "constraint coefficient rows"), (consts, "constraint constants"),
                              (senses, "constraint senses"), (rhss, "constraint right-hand sides"),
                              (names if names is not None else fs_vars, "constraint names")):
            if len(actual) != m:
                raise Refused(ValueError, f"{label} has length {len(actual)}, expected {m}")
        for variables, coefficients in zip(fs_vars, fs_coeffs):
            if len(coefficients) != len(variables):
                raise Refused(
                    ValueError, f"constraint coefficients has length {len(coefficients)}, expected {len(variables)}"
                )
        for sense in senses:
            if sense not in "<=>":
                raise Refused(ValueError, f"invalid sense character: {sense}")
        new_rows = [
            _row(ref, k, *row, None if names is None else names[k])
            for k, row in enumerate(zip(fs_vars, fs_coeffs, consts, senses, rhss))
        ]
        if any("\x00" in row.name for row in new_rows):
            raise Refused(RuntimeError, "Invalid name: constraint name contains an embedded NUL byte")
        count = len(ref.rows)
        if m:
            NativeCalls(fault).make("COPT_AddRows")
            ref.rows += new_rows
            ref.clear_results()
        return list(range(count, count + m))

    return Step(["COPT_AddRows"], predict)


def add_constraint(ref: Reference, fault: Fault | None, variables, coefficients, constant, sense, rhs,
                   name=None) -> Step:
    def predict():
        if any(variable >= 2**64 for variable in variables):
            raise Refused(OverflowError, None, "vars")
        if len(coefficients) != len(variables):
            raise Refused(ValueError, f"coefficients has length {len(coefficients)}, expected {len(variables)}")
        if sense not in "<=>":
            raise Refused(ValueError, f"invalid sense character: {sense}")
        row = _row(ref, 0, variables, coefficients, constant, sense, rhs, name)
        if "\x00" in row.name:
            raise Refused(RuntimeError, "Invalid name: constraint name contains an embedded NUL byte")
        NativeCalls(fault).make("COPT_AddRows")
        ref.rows.append(row)
        ref.clear_results()
        return len(ref.rows) - 1

    return Step(["COPT_AddRows"], predict)


# Objective -----------------------------------------------------------------------------------------------------------


def set_objective(ref: Reference, fault: Fault | None, variables, coefficients, constant, sense) -> Step:
    def predict():
        if sense >= 2**31 or sense < -(2**31):
            raise Refused(OverflowError, None, "sense")
        if len(coefficients) != len(variables):
            raise Refused(
                ValueError, f"objective coefficients has length {len(coefficients)}, expected {len(variables)}"
            )
        if not math.isfinite(constant):
            raise invalid_input(f"objective constant must be finite, got {number_text(constant)}")
        vector = [0.0] * len(ref.columns)
        for variable, coefficient in zip(variables, coefficients):
            if variable >= len(vector):
                raise Refused(RuntimeError, f"Invalid variable index: {variable}")
            if not math.isfinite(coefficient):
                raise invalid_input(f"objective coefficient must be finite, got {number_text(coefficient)}")
            vector[variable] += coefficient
            if not math.isfinite(vector[variable]):
                raise invalid_input(f"summed objective coefficient must be finite, got {number_text(vector[variable])}")
        # The three calls are not undone when a later one fails; once the problem has taken a part, the cached
        # results no longer describe it and go.
        calls = NativeCalls(fault)
        if vector:
            calls.make("COPT_SetColObj")
            for column, coefficient in zip(ref.columns, vector):
                column.objective = coefficient
            ref.clear_results()
        calls.make("COPT_SetObjConst")
        ref.constant = constant
        ref.clear_results()
        calls.make("COPT_SetObjSense")
        ref.sense = -1 if sense == 1 else 1

    return Step((["COPT_SetColObj"] if ref.columns else []) + ["COPT_SetObjConst", "COPT_SetObjSense"], predict)


# Attributes, update, solve -------------------------------------------------------------------------------------------


def value_kind(value) -> type | None:
    """The kind a built-in attribute value is taken as, tried in this order: bool, an int within signed 64 bits, a
    double (a float, or a larger int); None when it is none of them."""
    if isinstance(value, bool):
        return bool
    if isinstance(value, int) and -(2**63) <= value < 2**63:
        return int
    if not isinstance(value, (int, float)):
        return None
    try:
        float(value)
    except OverflowError:  # an int beyond a double's range
        return None
    return float


# The stand-in's parameter table: kind and accepted range of each parameter it knows.
STANDIN_PARAMETERS = {
    "Logging": (int, 0, 1),
    "TimeLimit": (float, 0.0, math.inf),
    "RelGap": (float, 0.0, math.inf),
    "FeasTol": (float, 1e-12, 0.5),
    "DualTol": (float, 1e-12, 0.5),
    "IntTol": (float, 1e-12, 0.5),
}


def set_optimizer_attr(ref: Reference, fault: Fault | None, attr: str, value) -> Step:
    kind = value_kind(value)

    def predict():
        if kind is None:
            raise Refused(TypeError, "COPT parameter value must be bool, int, or float")
        if attr == "Silent":
            if kind is not bool:
                raise invalid_input("Silent requires a boolean value")
            name, native, label = "Logging", 0 if value else 1, "COPT_SetIntParam(Logging)"
        elif attr == "TimeLimit":
            if kind is not float:
                raise invalid_input("TimeLimit requires a floating-point value")
            if not (math.isfinite(value) and value >= 0):
                raise invalid_input("TimeLimit must be finite and nonnegative")
            name, native, label = "TimeLimit", float(value), "COPT_SetDblParam(TimeLimit)"
        else:
            if "\x00" in attr:
                raise invalid_input("raw COPT parameter name contains an embedded NUL byte")
            name = attr
            if kind is float:
                native = float(value)
                if not math.isfinite(native):
                    raise invalid_input(f"raw COPT floating-point parameter must be finite, got {number_text(native)}")
                label = "COPT_SetDblParam(Raw)"
            else:
                if kind is int and not -(2**31) <= value <= C_INT_MAX:
                    raise invalid_input("raw COPT integer parameter exceeds c_int range")
                native, label = int(value), "COPT_SetIntParam(Raw)"
        NativeCalls(fault).make(label)
        if name not in STANDIN_PARAMETERS:
            raise Refused(RuntimeError, native_error(label, 8, SOLVER_TEXTS[8]))
        kind_of_parameter, low, high = STANDIN_PARAMETERS[name]
        if not isinstance(native, kind_of_parameter):
            raise Refused(RuntimeError, native_error(label, 9, SOLVER_TEXTS[9]))
        if not low <= native <= high:
            raise Refused(RuntimeError, native_error(label, 10, SOLVER_TEXTS[10]))
        ref.parameters[name] = native

    label = {"Silent": "COPT_SetIntParam", "TimeLimit": "COPT_SetDblParam"}.get(
        attr, "COPT_SetDblParam" if kind is float else "COPT_SetIntParam")
    return Step([label], predict)


def update(ref: Reference, fault: Fault | None) -> Step:
    return Step(["COPT_Update"], lambda: NativeCalls(fault).make("COPT_Update"))


def optimize(ref: Reference, fault: Fault | None, status: int, has_sol: bool, is_mip: bool, solution: list,
             objective: float) -> Step:
    """The solve after standin.force_result(status, has_sol, is_mip, obj_val=objective, solution if has_sol)."""
    count = len(ref.columns)
    labels = ["COPT_Solve", "COPT_GetIntAttr(Status)", "COPT_GetIntAttr(HasSol)"]
    if has_sol:
        labels += ["COPT_GetIntAttr(IsMIP)"]
        labels += (["COPT_GetSolution" if is_mip else "COPT_GetLpSolution"] if count else [])
        labels += ["COPT_GetDblAttr(ObjVal)"]

    def predict():
        ref.clear_results()
        calls = NativeCalls(fault)
        calls.make(labels[0])
        if has_sol and len(solution) != count:
            raise Refused(RuntimeError, native_error("COPT_Solve", 16, SOLVER_TEXTS[16]))
        for label in labels[1:]:
            calls.make(label)
        mapped = status if status in (1, 2, 3) else {20: 1, 21: 2}.get(status, 0)
        if status in (6, 8, 10) and has_sol:
            mapped = 4
        if has_sol:
            ref.solution, ref.objective_value = list(solution), objective
        return mapped

    return Step([label.split("(")[0] for label in labels], predict)


def get_var_value(ref: Reference, var_id: int) -> Step:
    def predict():
        if not 0 <= var_id < 2**64:
            raise Refused(OverflowError, None, "var_id")
        solution = ref.solution
        return solution[var_id] if solution is not None and var_id < len(solution) else None

    return Step([], predict)
