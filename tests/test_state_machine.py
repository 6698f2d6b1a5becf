"""Random sequences of every Model method, with valid and invalid inputs and armed solver faults, checked step by step
against a small pure-Python model of what the module and the solver should hold.

CI runs a derandomized profile of about 10,000 steps; BRENLOX_STATE_MACHINE=long runs a randomized, much longer one."""

from __future__ import annotations

import gc
import math
import os
from dataclasses import dataclass, field
from decimal import Decimal

import pytest
from hypothesis import HealthCheck, settings
from hypothesis import strategies as st
from hypothesis.stateful import RuleBasedStateMachine, initialize, invariant, rule, run_state_machine_as_test

from brenlox_copt import Model
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

PROFILES = {
    "ci": settings(max_examples=280, stateful_step_count=40, derandomize=True, database=None),
    "long": settings(max_examples=5000, stateful_step_count=100, derandomize=False, database=None),
}
PROFILE = os.environ.get("BRENLOX_STATE_MACHINE", "ci")


def number_text(value: float) -> str:
    """How the module's messages show a double."""
    if math.isnan(value):
        return "NaN"
    if math.isinf(value):
        return "inf" if value > 0 else "-inf"
    text = format(Decimal(repr(value)), "f")
    return text.rstrip("0").rstrip(".") if "." in text else text


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


# The reference ---------------------------------------------------------------------------------------------------


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


# Strategies ------------------------------------------------------------------------------------------------------

special = st.sampled_from([0.0, -0.0, 1.0, 2.5, -3.0, 1e30, -1e30, 1e40, -1e40, math.inf, -math.inf, 1e308, -1e308])
finite = st.floats(-100, 100) | st.sampled_from([0.0, 2.5, -1e40, 1e40, 1e308, 5e-324])
number = st.one_of(finite, special, st.just(math.nan))
names = st.text(alphabet=st.sampled_from("ab\x00é_"), max_size=3)
faults = st.none() | st.builds(Fault, st.integers(1, 6), st.sampled_from(sorted(FAULT_TEXTS)))


def arm(fault: Fault | None, labels: list[str]) -> None:
    """Arms the stand-in so the k-th of the operation's expected calls fails."""
    if fault is None or fault.k > len(labels):
        return
    entry = labels[fault.k - 1].split("(")[0]
    nth = [label.split("(")[0] for label in labels[: fault.k]].count(entry)
    standin.fail(entry, fault.code, nth)


# The machine -----------------------------------------------------------------------------------------------------


class ModelMachine(RuleBasedStateMachine):
    steps = 0

    @initialize()
    def start(self):
        gc.collect()
        standin.reset()
        self.model = Model()
        self.model.set_optimizer_attr("Silent", True)
        self.ref = Reference()
        standin.reset()

    def teardown(self):
        self.__dict__.pop("model", None)
        gc.collect()

    def expect(self, call, predicted):
        """Runs `call` and compares its outcome with the reference's prediction `predicted` (a callable that returns
        the result and updates the reference, or raises Refused)."""
        ModelMachine.steps += 1
        try:
            expected = predicted()
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
        finally:
            # Nothing armed, forced or logged outlives the step; the handles keep their names.
            standin.reset()

    # Variables ---------------------------------------------------------------------------------------------------

    @rule(
        n=st.integers(0, 4) | st.sampled_from([2**31, 2**64 - 1]),
        given=st.fixed_dictionaries(
            {},
            optional={
                "names": st.lists(names, max_size=5),
                "vtypes": st.lists(st.sampled_from("CBIc"), max_size=5),
                "lbs": st.lists(number, max_size=5),
                "ubs": st.lists(number, max_size=5),
            },
        ),
        fault=faults,
    )
    def add_variables(self, n, given, fault):
        def predict():
            count = len(self.ref.columns)
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
            types = given.get("vtypes", ["C"] * n)
            if len(types) != n:
                raise invalid_input(f"variable types has length {len(types)}, expected {n}")
            for kind in types:
                if kind not in "CBI":
                    raise invalid_input(f"unsupported COPT variable type '{kind}'; expected 'C', 'B', or 'I'")
            labels = given.get("names", [f"x{count + index}" for index in range(n)])
            if len(labels) != n:
                raise invalid_input(f"variable names has length {len(labels)}, expected {n}")
            if any("\x00" in label for label in labels):
                raise Refused(RuntimeError, "Invalid name: variable name contains an embedded NUL byte")
            if n:
                NativeCalls(fault).make("COPT_AddCols")
                self.ref.columns += [
                    standin.Column(label, kind, clamp(lower), clamp(upper), 0.0)
                    for label, kind, lower, upper in zip(labels, types, *bounds)
                ]
                self.ref.clear_results()
            return list(range(count, count + n))

        arm(fault, ["COPT_AddCols"])
        self.expect(lambda: self.model.add_variables(n, **given), predict)

    @rule(lower=number, upper=number, vtype=st.sampled_from("CBIx"), fault=faults)
    def add_variable(self, lower, upper, vtype, fault):
        def predict():
            count = len(self.ref.columns)
            for value, label in ((lower, "lower bounds"), (upper, "upper bounds")):
                if math.isnan(value):
                    raise invalid_input(f"{label} cannot contain NaN, got NaN")
            if lower > upper:
                raise invalid_input(
                    f"variable {count} has lower bound {number_text(lower)} greater than upper bound "
                    f"{number_text(upper)}"
                )
            if vtype not in "CBI":
                raise invalid_input(f"unsupported COPT variable type '{vtype}'; expected 'C', 'B', or 'I'")
            NativeCalls(fault).make("COPT_AddCols")
            self.ref.columns.append(standin.Column(f"x{count}", vtype, clamp(lower), clamp(upper), 0.0))
            self.ref.clear_results()
            return count

        arm(fault, ["COPT_AddCols"])
        self.expect(lambda: self.model.add_variable(None, vtype, lower, upper), predict)

    # Constraints -------------------------------------------------------------------------------------------------

    @rule(
        rows=st.lists(
            st.tuples(
                st.lists(st.tuples(st.integers(0, 6), number), max_size=3),
                number,
                st.sampled_from("<=>!"),
                number,
                names,
            ),
            max_size=3,
        ),
        named=st.booleans(),
        shape=st.sampled_from(["fits", "fits", "fits", "short coefficients", "short senses", "long row"]),
        fault=faults,
    )
    def add_constraints(self, rows, named, shape, fault):
        fs_vars = [[variable for variable, _ in terms] for terms, *_ in rows]
        fs_coeffs = [[coefficient for _, coefficient in terms] for terms, *_ in rows]
        consts = [row[1] for row in rows]
        senses = [row[2] for row in rows]
        rhss = [row[3] for row in rows]
        labels = [row[4] for row in rows] if named else None
        if shape == "short coefficients" and rows:
            fs_coeffs = fs_coeffs[1:]
        if shape == "short senses" and rows:
            senses = senses[1:]
        if shape == "long row" and rows:
            fs_coeffs[-1] = fs_coeffs[-1] + [1.0]

        def predict():
            m = len(fs_vars)
            for actual, label in ((fs_coeffs, "constraint coefficient rows"), (consts, "constraint constants"),
                                  (senses, "constraint senses"), (rhss, "constraint right-hand sides")):
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
            count = len(self.ref.rows)
            new_rows = []
            for k, (variables, coefficients, constant, sense, rhs) in enumerate(
                zip(fs_vars, fs_coeffs, consts, senses, rhss)
            ):
                if not math.isfinite(constant):
                    raise invalid_input(f"constraint constant must be finite, got {number_text(constant)}")
                for variable, coefficient in zip(variables, coefficients):
                    if variable >= len(self.ref.columns):
                        raise Refused(RuntimeError, f"Invalid variable index: {variable}")
                    if not math.isfinite(coefficient):
                        raise invalid_input(f"constraint coefficient must be finite, got {number_text(coefficient)}")
                if sense == "=" and math.isnan(rhs):
                    raise invalid_input(f"constraint {count + k} has invalid bounds [NaN, NaN]")
                if math.isnan(rhs - constant):
                    raise invalid_input(f"constraint {count + k} produces a NaN bound")
                bound = clamp(rhs - constant)
                lower, upper = {"<": (-INF, bound), ">": (bound, INF), "=": (bound, bound)}[sense]
                name = labels[k] if labels is not None else f"c{count + k}"
                new_rows.append(standin.Row(name, lower, upper, list(zip(variables, coefficients))))
            if any("\x00" in row.name for row in new_rows):
                raise Refused(RuntimeError, "Invalid name: constraint name contains an embedded NUL byte")
            if m:
                NativeCalls(fault).make("COPT_AddRows")
                self.ref.rows += new_rows
                self.ref.clear_results()
            return list(range(count, count + m))

        arm(fault, ["COPT_AddRows"])
        self.expect(lambda: self.model.add_constraints(fs_vars, fs_coeffs, consts, senses, rhss, labels), predict)

    @rule(
        terms=st.lists(st.tuples(st.integers(0, 5) | st.just(2**64), number), max_size=3),
        constant=number,
        sense=st.sampled_from("<=>"),
        rhs=number,
    )
    def add_constraint(self, terms, constant, sense, rhs):
        variables = [variable for variable, _ in terms]
        coefficients = [coefficient for _, coefficient in terms]

        def predict():
            if any(variable >= 2**64 for variable in variables):
                raise Refused(OverflowError, None, "vars")
            count = len(self.ref.rows)
            if not math.isfinite(constant):
                raise invalid_input(f"constraint constant must be finite, got {number_text(constant)}")
            for variable, coefficient in terms:
                if variable >= len(self.ref.columns):
                    raise Refused(RuntimeError, f"Invalid variable index: {variable}")
                if not math.isfinite(coefficient):
                    raise invalid_input(f"constraint coefficient must be finite, got {number_text(coefficient)}")
            if sense == "=" and math.isnan(rhs):
                raise invalid_input(f"constraint {count} has invalid bounds [NaN, NaN]")
            if math.isnan(rhs - constant):
                raise invalid_input(f"constraint {count} produces a NaN bound")
            bound = clamp(rhs - constant)
            lower, upper = {"<": (-INF, bound), ">": (bound, INF), "=": (bound, bound)}[sense]
            self.ref.rows.append(standin.Row(f"c{count}", lower, upper, list(terms)))
            self.ref.clear_results()
            return count

        self.expect(lambda: self.model.add_constraint(variables, coefficients, constant, sense, rhs), predict)

    # Objective ---------------------------------------------------------------------------------------------------

    @rule(
        terms=st.lists(st.tuples(st.integers(0, 5), number), max_size=4),
        extra_coefficient=st.booleans(),
        constant=number,
        sense=st.integers(-2, 2) | st.just(2**40),
        fault=faults,
    )
    def set_objective(self, terms, extra_coefficient, constant, sense, fault):
        variables = [variable for variable, _ in terms]
        coefficients = [coefficient for _, coefficient in terms] + ([1.0] if extra_coefficient else [])

        def predict():
            if sense >= 2**31:
                raise Refused(OverflowError, None, "sense")
            if len(coefficients) != len(variables):
                raise Refused(
                    ValueError, f"objective coefficients has length {len(coefficients)}, expected {len(variables)}"
                )
            if not math.isfinite(constant):
                raise invalid_input(f"objective constant must be finite, got {number_text(constant)}")
            vector = [0.0] * len(self.ref.columns)
            for variable, coefficient in terms:
                if variable >= len(vector):
                    raise Refused(RuntimeError, f"Invalid variable index: {variable}")
                if not math.isfinite(coefficient):
                    raise invalid_input(f"objective coefficient must be finite, got {number_text(coefficient)}")
                vector[variable] += coefficient
                if not math.isfinite(vector[variable]):
                    raise invalid_input(f"summed objective coefficient must be finite, got {number_text(vector[variable])}")
            # The three calls are not undone when a later one fails; the cached results then stay.
            calls = NativeCalls(fault)
            if vector:
                calls.make("COPT_SetColObj")
                for column, coefficient in zip(self.ref.columns, vector):
                    column.objective = coefficient
            calls.make("COPT_SetObjConst")
            self.ref.constant = constant
            calls.make("COPT_SetObjSense")
            self.ref.sense = -1 if sense == 1 else 1
            self.ref.clear_results()

        labels = (["COPT_SetColObj"] if self.ref.columns else []) + ["COPT_SetObjConst", "COPT_SetObjSense"]
        arm(fault, labels)
        self.expect(lambda: self.model.set_objective(variables, coefficients, constant, sense), predict)

    # Attributes, update, solve and reads -------------------------------------------------------------------------

    @rule(
        case=st.sampled_from(
            [
                ("Silent", True), ("Silent", False), ("Silent", 1), ("TimeLimit", 10), ("TimeLimit", 2.5),
                ("TimeLimit", -0.0), ("TimeLimit", -1.0), ("TimeLimit", math.inf), ("TimeLimit", math.nan),
                ("RelGap", 0.25), ("RelGap", -1.0), ("RelGap", math.nan), ("FeasTol", 1e-6), ("Logging", 0),
                ("Logging", 2), ("Logging", 2**31), ("Logging", 2**70), ("Logging", "1"), ("Nope", True),
                ("Bad\x00name", 2**40),
            ]
        ),
        fault=faults,
    )
    def set_optimizer_attr(self, case, fault):
        attr, value = case

        def predict():
            if isinstance(value, str):
                raise Refused(TypeError, "COPT parameter value must be bool, int, or float")
            if attr == "Silent":
                if not isinstance(value, bool):
                    raise invalid_input("Silent requires a boolean value")
                name, native, label = "Logging", 0 if value else 1, "COPT_SetIntParam(Logging)"
            elif attr == "TimeLimit":
                if not isinstance(value, float):
                    raise invalid_input("TimeLimit requires a floating-point value")
                if not (math.isfinite(value) and value >= 0):
                    raise invalid_input("TimeLimit must be finite and nonnegative")
                name, native, label = "TimeLimit", value, "COPT_SetDblParam(TimeLimit)"
            else:
                if "\x00" in attr:
                    raise invalid_input("raw COPT parameter name contains an embedded NUL byte")
                name = attr
                if isinstance(value, bool) or (isinstance(value, int) and -(2**63) <= value < 2**63):
                    if not isinstance(value, bool) and not -(2**31) <= value <= C_INT_MAX:
                        raise invalid_input("raw COPT integer parameter exceeds c_int range")
                    native, label = int(value), "COPT_SetIntParam(Raw)"
                else:
                    native = float(value)
                    if not math.isfinite(native):
                        raise invalid_input(f"raw COPT floating-point parameter must be finite, got {number_text(native)}")
                    label = "COPT_SetDblParam(Raw)"
            NativeCalls(fault).make(label)
            known = {"Logging": int, "TimeLimit": float, "RelGap": float, "FeasTol": float}
            if name not in known:
                raise Refused(RuntimeError, native_error(label, 8, SOLVER_TEXTS[8]))
            if not isinstance(native, known[name]):
                raise Refused(RuntimeError, native_error(label, 9, SOLVER_TEXTS[9]))
            if (name == "Logging" and native not in (0, 1)) or native < 0 or (name == "FeasTol" and native > 0.5):
                raise Refused(RuntimeError, native_error(label, 10, SOLVER_TEXTS[10]))
            self.ref.parameters[name] = native

        kind = "Int" if isinstance(value, bool) or (isinstance(value, int) and abs(value) < 2**63) else "Dbl"
        label = {"Silent": "COPT_SetIntParam", "TimeLimit": "COPT_SetDblParam"}.get(attr, f"COPT_Set{kind}Param")
        arm(fault, [label])
        self.expect(lambda: self.model.set_optimizer_attr(attr, value), predict)

    @rule(fault=faults)
    def update(self, fault):
        def predict():
            NativeCalls(fault).make("COPT_Update")

        arm(fault, ["COPT_Update"])
        self.expect(self.model.update, predict)

    @rule(
        status=st.sampled_from([0, 1, 2, 3, 4, 5, 6, 8, 9, 10, 20, 21, -1]),
        has_sol=st.booleans(),
        is_mip=st.booleans(),
        values=st.lists(st.floats(-10, 10), max_size=8),
        objective=st.floats(-100, 100),
        fault=faults,
    )
    def optimize(self, status, has_sol, is_mip, values, objective, fault):
        count = len(self.ref.columns)
        solution = (values + [0.5] * count)[:count] if len(values) % 4 else values
        standin.force_result(status=status, has_sol=int(has_sol), is_mip=int(is_mip), obj_val=objective,
                             solution=solution if has_sol else None)
        labels = ["COPT_Solve", "COPT_GetIntAttr(Status)", "COPT_GetIntAttr(HasSol)"]
        if has_sol:
            labels += ["COPT_GetIntAttr(IsMIP)"]
            labels += (["COPT_GetSolution" if is_mip else "COPT_GetLpSolution"] if count else [])
            labels += ["COPT_GetDblAttr(ObjVal)"]

        def predict():
            self.ref.clear_results()
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
                self.ref.solution, self.ref.objective_value = list(solution), objective
            return mapped

        arm(fault, [label.split("(")[0] for label in labels])
        self.expect(self.model.optimize, predict)

    @rule(var_id=st.integers(0, 10) | st.sampled_from([2**64 - 1, 2**64, -1]))
    def get_var_value(self, var_id):
        def predict():
            if not 0 <= var_id < 2**64:
                raise Refused(OverflowError, None, "var_id")
            solution = self.ref.solution
            return solution[var_id] if solution is not None and var_id < len(solution) else None

        self.expect(lambda: self.model.get_var_value(var_id), predict)

    @rule(
        refusal=st.sampled_from(
            [
                (lambda m: m.add_variables(-1), OverflowError, None, "n"),
                (lambda m: m.add_variables(2.0), TypeError, None, "n"),
                (lambda m: m.add_variables(1, names="a"), TypeError, "Can't extract `str` to `Vec`", "names"),
                (lambda m: m.add_variables(1, vtypes=["CI"]), ValueError, "expected a string of length 1", "vtypes"),
                (lambda m: m.add_variable(lb="0"), TypeError, None, "lb"),
                (lambda m: m.add_variable(name=5), TypeError, "'int' object is not an instance of 'str'", "name"),
                (lambda m: m.add_constraint([0], [1.0], 0.0, "<=", 1.0), ValueError,
                 "expected a string of length 1", "sense"),
                (lambda m: m.add_constraint(None, [], 0.0, "<", 1.0), TypeError,
                 "'None' is not an instance of 'Sequence'", "vars"),
                (lambda m: m.add_constraints([[0]], [[1.0]], [0.0], "<", [1.0]), TypeError,
                 "Can't extract `str` to `Vec`", "senses"),
                (lambda m: m.set_objective([], [], 0.0, "max"), TypeError, None, "sense"),
                (lambda m: m.set_optimizer_attr(5, 1), TypeError, "'int' object is not an instance of 'str'", "attr"),
                (lambda m: m.get_var_value(1.5), TypeError, None, "var_id"),
            ]
        )
    )
    def refused_by_the_python_layer(self, refusal):
        call, kind, message, note = refusal

        def predict():
            raise Refused(kind, message, note)

        self.expect(lambda: call(self.model), predict)

    # After every step ----------------------------------------------------------------------------------------------

    @invariant()
    def module_and_solver_match_the_reference(self):
        if not hasattr(self, "model"):
            return
        problem = standin.problem()
        assert problem.columns == self.ref.columns
        assert problem.rows == self.ref.rows
        assert (problem.objective_constant, problem.objective_sense) == (self.ref.constant, self.ref.sense)
        assert problem.parameters == self.ref.parameters
        count = len(self.ref.columns)
        solution = self.ref.solution
        expected = [solution[i] if solution is not None and i < len(solution) else None for i in range(count + 2)]
        assert [self.model.get_var_value(i) for i in range(count + 2)] == expected
        assert self.model.get_objective_value() == self.ref.objective_value
        assert standin.live() == {"configs": 0, "envs": 1, "problems": 1}


def test_model_matches_its_reference(standin):
    ModelMachine.steps = 0
    run_state_machine_as_test(
        ModelMachine,
        settings=settings(
            PROFILES[PROFILE], deadline=None, suppress_health_check=list(HealthCheck), print_blob=True
        ),
    )
    print(f"state machine steps: {ModelMachine.steps}")
    assert ModelMachine.steps > 0
