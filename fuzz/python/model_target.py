#!/usr/bin/env python
"""The model fuzz target: the fuzzer's bytes decode into a short program of calls on Model, Env and EnvrConfig with
hostile arguments (forms.py), each checked against the state-machine test's reference (tests/support/reference.py):
a call raises what the reference predicts (never SystemError), leaves the solver's problem, the handle counts and the
cached results as the reference holds them, and an object argument acts exactly as the items it iterates to.

Run it through scripts/fuzz.sh, which preloads the sanitizer runtime and points it at the fuzzing build."""

from __future__ import annotations

import gc
import math
import os
import sys
import warnings

import atheris

import forms
from support import reference, standin
from support.reference import FAULT_TEXTS, Fault, Refused, Step

import brenlox_copt

MAX_STEPS = 10
SPECIAL_NUMBERS = [0.0, -0.0, 1.0, -3.0, 1e30, -1e30, 1e40, math.inf, -math.inf, math.nan, 5e-324, 1e308, 2**53 + 1,
                   10**400, True]
SPECIAL_IDS = [2**64 - 1, 2**64, 2**63, -1, True]
CHARACTERS = ["<", "=", ">", "C", "B", "I", "!", "c", "<=", "", "é", "\ud800", "\x00"]
PARAMETER_NAMES = ["Silent", "TimeLimit", "RelGap", "FeasTol", "Logging", "Nope", "Bad\x00name", ""]
STATUSES = [0, 1, 2, 3, 4, 5, 6, 8, 9, 10, 20, 21, -1]
JUNK = [5, "ab", 1.5, object(), b"\x01"]  # where a sequence or a scalar belongs
BASELINE = {"configs": 0, "envs": 1, "problems": 1}
# Each method's parameters in order: (note, kind, depth), depth 0 a scalar, 1 a sequence, 2 a sequence of sequences.
SIGNATURES = {
    "add_variables": (("n", "id", 0), ("names", "text", 1), ("vtypes", "char", 1), ("lbs", "number", 1),
                      ("ubs", "number", 1)),
    "add_variable": (("name", "text", 0), ("vtype", "char", 0), ("lb", "number", 0), ("ub", "number", 0)),
    "add_constraint": (("vars", "id", 1), ("coeffs", "number", 1), ("constant", "number", 0), ("sense", "char", 0),
                       ("rhs", "number", 0), ("name", "text", 0)),
    "add_constraints": (("fs_vars", "id", 2), ("fs_coeffs", "number", 2), ("fs_consts", "number", 1),
                        ("senses", "char", 1), ("rhss", "number", 1), ("names", "text", 1)),
    "set_objective": (("vars", "id", 1), ("coeffs", "number", 1), ("constant", "number", 0), ("sense", "int", 0)),
    "set_optimizer_attr": (("attr", "text", 0), ("value", "any", 0)),
    "update": (),
    "optimize": (),
    "get_var_value": (("var_id", "id", 0),),
}


class Program:
    """One model, its reference, and the fuzzer's choices."""

    def __init__(self, fdp: atheris.FuzzedDataProvider):
        self.fdp = fdp
        self.model: brenlox_copt.Model | None = None
        self.new_model()

    def new_model(self):
        gc.collect()
        standin.reset()
        self.model = brenlox_copt.Model()
        self.model.set_optimizer_attr("Silent", True)
        self.ref = reference.Reference()
        standin.reset()

    def drop_model(self):
        """A callback's way to let the model go while one of its calls runs."""
        self.model = None

    # Values ----------------------------------------------------------------------------------------------------------

    def pick(self, values):
        return self.fdp.PickValueInList(values)

    def number(self):
        choice = self.fdp.ConsumeIntInRange(0, 3)
        if choice == 0:
            return self.pick(SPECIAL_NUMBERS)
        if choice == 1:
            return self.fdp.ConsumeFloat()
        return float(self.fdp.ConsumeIntInRange(-3, 10)) if choice == 2 else self.fdp.ConsumeIntInRange(-3, 10)

    def var_id(self):
        if self.fdp.ConsumeIntInRange(0, 15) == 0:
            return self.pick(SPECIAL_IDS)
        return self.fdp.ConsumeIntInRange(0, len(self.ref.columns) + 1)

    def text(self):
        choice = self.fdp.ConsumeIntInRange(0, 7)
        if choice == 0:
            return self.fdp.ConsumeUnicode(3)  # surrogates included
        if choice == 1:
            return "a\x00b"
        return self.fdp.ConsumeUnicodeNoSurrogates(3)

    def value(self, kind):
        return {"id": self.var_id, "number": self.number, "text": self.text,
                "char": lambda: self.pick(CHARACTERS)}[kind]()

    def values(self, kind, length):
        return [self.value(kind) for _ in range(length)]

    def length(self, expected):
        """Mostly the expected length, sometimes one off."""
        return max(0, expected + self.pick([0, 0, 0, 0, 1, -1]))

    def argument(self, kind, length):
        """A sequence argument: the values in some form, or now and then something that is no such sequence."""
        if self.fdp.ConsumeIntInRange(0, 31) == 0:
            return self.pick(JUNK)
        return forms.shaped(self.values(kind, length), kind, self, self.fdp)

    def rows_argument(self, kind, lengths):
        return forms.shaped_rows([self.values(kind, length) for length in lengths], kind, self, self.fdp)

    def scalar(self, kind, reentrant=True):
        if self.fdp.ConsumeIntInRange(0, 31) == 0:
            return self.pick(JUNK)
        return forms.wrapped_items([self.value(kind)], kind, self, self.fdp, reentrant)[0]

    def fault(self):
        if self.fdp.ConsumeIntInRange(0, 5):
            return None
        return Fault(self.fdp.ConsumeIntInRange(1, 6), self.pick(sorted(FAULT_TEXTS)))

    # Operations: each draws the method's arguments (in the order of its SIGNATURES entry) and returns them with the
    # reference's step for their converted values and the fault it arms --------------------------------------------

    def add_variables(self):
        n = self.pick([0, 1, 2, 3, 4, 2**31, 2**64 - 1, 2**64, -1]) if self.fdp.ConsumeBool() else 2
        length = self.length(min(n, 4)) if n >= 0 else 1
        lists = [self.argument(kind, length) if self.fdp.ConsumeBool() else None
                 for kind in ("text", "char", "number", "number")]
        fault = self.fault()

        def step(n, *converted):
            given = {key: value for key, value in zip(("names", "vtypes", "lbs", "ubs"), converted) if value is not None}
            return reference.add_variables(self.ref, fault, n, given)

        return [n, *lists], step, fault

    def add_variable(self):
        arguments = [None if self.fdp.ConsumeIntInRange(0, 2) == 0 else self.scalar(kind)
                     for kind in ("text", "char", "number", "number")]
        fault = self.fault()

        def step(name, vtype, lower, upper):
            return reference.add_variable(self.ref, fault, 0.0 if lower is None else lower,
                                          math.inf if upper is None else upper, vtype or "C", name)

        return arguments, step, fault

    def add_constraint(self):
        terms = self.fdp.ConsumeIntInRange(0, 3)
        arguments = [self.argument("id", terms), self.argument("number", self.length(terms)), self.scalar("number"),
                     self.scalar("char"), self.scalar("number"), self.text() if self.fdp.ConsumeBool() else None]
        fault = self.fault()
        return arguments, (lambda *values: reference.add_constraint(self.ref, fault, *values)), fault

    def add_constraints(self):
        lengths = [self.fdp.ConsumeIntInRange(0, 3) for _ in range(self.fdp.ConsumeIntInRange(0, 3))]
        m = len(lengths)
        arguments = [self.rows_argument("id", lengths),
                     self.rows_argument("number", [self.length(length) for length in lengths[: self.length(m)]]),
                     *(self.argument(kind, self.length(m)) for kind in ("number", "char", "number")),
                     self.argument("text", self.length(m)) if self.fdp.ConsumeBool() else None]
        fault = self.fault()
        return arguments, (lambda *values: reference.add_constraints(self.ref, fault, *values)), fault

    def set_objective(self):
        terms = self.fdp.ConsumeIntInRange(0, 4)
        arguments = [self.argument("id", terms), self.argument("number", self.length(terms)), self.scalar("number"),
                     self.pick([1, -1, 0, 2**31, -(2**31) - 1, 2**40]) if self.fdp.ConsumeBool() else 1]
        fault = self.fault()
        return arguments, (lambda *values: reference.set_objective(self.ref, fault, *values)), fault

    def set_optimizer_attr(self):
        attr = self.pick(PARAMETER_NAMES) if self.fdp.ConsumeIntInRange(0, 7) else self.scalar("text")
        value = self.pick([True, False, 0, 1, 2, -1, 2**31, 2**63, 2**70, "1", None, self.number()])
        fault = self.fault()
        return [attr, value], (lambda *values: reference.set_optimizer_attr(self.ref, fault, *values)), fault

    def update(self):
        fault = self.fault()
        return [], (lambda: reference.update(self.ref, fault)), fault

    def optimize(self):
        status, has_sol, is_mip = self.pick(STATUSES), self.fdp.ConsumeBool(), self.fdp.ConsumeBool()
        solution = [self.fdp.ConsumeRegularFloat() for _ in range(self.length(len(self.ref.columns)))]
        objective = self.fdp.ConsumeRegularFloat()
        standin.force_result(status=status, has_sol=int(has_sol), is_mip=int(is_mip), obj_val=objective,
                             solution=solution if has_sol else None)
        fault = self.fault()
        return [], (lambda: reference.optimize(self.ref, fault, status, has_sol, is_mip, solution, objective)), fault

    def get_var_value(self):
        var_id = self.scalar("id", reentrant=False)  # a read may be re-entered by another read
        return [var_id], (lambda var_id: reference.get_var_value(self.ref, var_id)), None

    OPERATIONS = [add_variables, add_variable, add_constraint, add_constraints, set_objective, set_optimizer_attr,
                  update, optimize, get_var_value]

    # Running -----------------------------------------------------------------------------------------------------

    def run_step(self):
        operation = self.pick(Program.OPERATIONS)
        arguments, make_step, fault = operation(self)
        parameters = [(*parameter, value) for parameter, value in zip(SIGNATURES[operation.__name__], arguments)]
        try:
            step = make_step(*forms.converted(parameters))
        except forms.Refusal as refusal:
            step = Step([], refusal.predict)
        reference.arm(fault, step.labels)
        try:
            reference.check_outcome(lambda: getattr(self.model, operation.__name__)(*arguments), step.predict)
        except BaseException as failure:  # pytest's Failed too: the report names the call
            failure.add_note(f"{operation.__name__} with {parameters!r}, fault {fault}")
            raise
        finally:
            standin.reset()
        if self.model is None:  # a callback dropped it: it must be gone with everything it held
            gc.collect()
            assert standin.live() == {"configs": 0, "envs": 0, "problems": 0}
            self.new_model()
        reference.check_state(self.model, self.ref)
        assert standin.live() == BASELINE

    def configure(self):
        """A client configuration with one setting, an environment from it and a model in that environment: the
        setting reaches the solver as the text predicted, or the call is refused; everything goes with its owner."""
        name = self.text() if self.fdp.ConsumeIntInRange(0, 7) else self.pick(JUNK)
        value = self.pick([self.text(), True, False, self.fdp.ConsumeInt(9), 2**63, 2**1100, self.number(), None])
        config = brenlox_copt.EnvrConfig()
        standin.reset()

        def predict():
            (name_text,) = forms.converted([("name", "text", 0, name)])
            try:
                text = configuration_text(value)
            except UnicodeEncodeError as error:  # a str, refused as any text argument is
                raise Refused(UnicodeEncodeError, None, None) from error
            except (TypeError, ValueError, OverflowError) as error:
                raise Refused(TypeError, "COPT environment configuration value must be str, bool, int, or float") \
                    from error
            for what, checked in (("name", name_text), ("value", text)):
                if "\x00" in checked:
                    raise reference.invalid_input(f"COPT environment configuration {what} contains an embedded NUL byte")
            return [("COPT_SetEnvConfig", (name_text, text))]

        def call():
            config.set(name, value)
            return [(entry.name, entry.args[1:]) for entry in standin.calls()]

        try:
            reference.check_outcome(call, predict)
        except forms.Refusal as refusal:  # raised by the prediction, before the call ran
            reference.check_outcome(call, refusal.predict)
        env = brenlox_copt.Env(config=config)
        model = brenlox_copt.Model(env=env)
        del config, env, model
        gc.collect()
        standin.reset()
        assert standin.live() == BASELINE


def configuration_text(value) -> str:
    """The text a client configuration value reaches the solver as."""
    if isinstance(value, str):
        value.encode("utf-8")
        return value
    if isinstance(value, bool):
        return "1" if value else "0"
    if isinstance(value, int) and -(2**63) <= value < 2**63:
        return str(value)
    if isinstance(value, (int, float)):
        return reference.number_text(float(value))
    raise TypeError(type(value))


def test_one_input(data: bytes) -> None:
    fdp = atheris.FuzzedDataProvider(data)
    program = Program(fdp)
    for _ in range(fdp.ConsumeIntInRange(1, MAX_STEPS)):
        if fdp.ConsumeIntInRange(0, 15) == 0:
            program.configure()
        else:
            program.run_step()
    del program
    gc.collect()
    assert standin.live() == {"configs": 0, "envs": 0, "problems": 0}


def main() -> None:
    warnings.simplefilter("ignore")  # NumPy's notes on masked and complex items; the outcome is what is checked
    standin.load_state()
    os.environ["COPT_HOME"] = str(standin.home())
    # What exists now lives for the whole run: each collection then walks only what an input made.
    gc.freeze()
    atheris.Setup(sys.argv, test_one_input)
    atheris.Fuzz()


if __name__ == "__main__":
    main()
