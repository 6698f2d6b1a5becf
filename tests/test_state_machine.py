"""Random sequences of every Model method, with valid and invalid inputs and armed solver faults, checked step by step
against the pure-Python reference of what the module and the solver should hold (support/reference.py).

CI runs a derandomized profile of about 10,000 steps (280 sequences) on CPython 3.11 for x86_64, and the first 120 of
those sequences on every other interpreter and platform (BRENLOX_STATE_MACHINE=brief); BRENLOX_STATE_MACHINE=long
runs a randomized, much longer one."""

from __future__ import annotations

import math
import os

from hypothesis import HealthCheck, settings
from hypothesis import strategies as st
from hypothesis.stateful import RuleBasedStateMachine, initialize, invariant, rule, run_state_machine_as_test

from brenlox_copt import Model
from support import reference, standin
from support.reference import FAULT_TEXTS, Fault, Refused, Step

CI_PROFILE = settings(max_examples=280, stateful_step_count=40, derandomize=True, database=None)
PROFILES = {
    "ci": CI_PROFILE,
    "brief": settings(CI_PROFILE, max_examples=120),
    "long": settings(max_examples=5000, stateful_step_count=100, derandomize=False, database=None),
}
PROFILE = os.environ.get("BRENLOX_STATE_MACHINE", "ci")


# Strategies ------------------------------------------------------------------------------------------------------

special = st.sampled_from([0.0, -0.0, 1.0, 2.5, -3.0, 1e30, -1e30, 1e40, -1e40, math.inf, -math.inf, 1e308, -1e308])
finite = st.floats(-100, 100) | st.sampled_from([0.0, 2.5, -1e40, 1e40, 1e308, 5e-324])
number = st.one_of(finite, special, st.just(math.nan))
names = st.text(alphabet=st.sampled_from("ab\x00é_"), max_size=3)
faults = st.none() | st.builds(Fault, st.integers(1, 6), st.sampled_from(sorted(FAULT_TEXTS)))


# The machine -----------------------------------------------------------------------------------------------------


class ModelMachine(RuleBasedStateMachine):
    steps = 0

    @initialize()
    def start(self):
        standin.collect_native_garbage()
        standin.reset()
        self.model = Model()
        self.model.set_optimizer_attr("Silent", True)
        self.ref = reference.Reference()
        standin.reset()

    def teardown(self):
        self.__dict__.pop("model", None)
        standin.collect_native_garbage()

    def expect(self, call, step: Step, fault: Fault | None = None):
        """Arms the fault on the step's native calls, runs `call` and compares its outcome with the step's."""
        ModelMachine.steps += 1
        reference.arm(fault, step.labels)
        try:
            reference.check_outcome(call, step.predict)
        finally:
            # Nothing armed, forced or logged outlives the step; the handles keep their names.
            standin.reset()

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
        step = reference.add_variables(self.ref, fault, n, given)
        self.expect(lambda: self.model.add_variables(n, **given), step, fault)

    @rule(lower=number, upper=number, vtype=st.sampled_from("CBIx"), fault=faults)
    def add_variable(self, lower, upper, vtype, fault):
        step = reference.add_variable(self.ref, fault, lower, upper, vtype)
        self.expect(lambda: self.model.add_variable(None, vtype, lower, upper), step, fault)

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
        step = reference.add_constraints(self.ref, fault, fs_vars, fs_coeffs, consts, senses, rhss, labels)
        self.expect(lambda: self.model.add_constraints(fs_vars, fs_coeffs, consts, senses, rhss, labels), step, fault)

    @rule(
        terms=st.lists(st.tuples(st.integers(0, 5) | st.just(2**64), number), max_size=3),
        constant=number,
        sense=st.sampled_from("<=>"),
        rhs=number,
    )
    def add_constraint(self, terms, constant, sense, rhs):
        variables = [variable for variable, _ in terms]
        coefficients = [coefficient for _, coefficient in terms]
        step = reference.add_constraint(self.ref, None, variables, coefficients, constant, sense, rhs)
        self.expect(lambda: self.model.add_constraint(variables, coefficients, constant, sense, rhs), step)

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
        step = reference.set_objective(self.ref, fault, variables, coefficients, constant, sense)
        self.expect(lambda: self.model.set_objective(variables, coefficients, constant, sense), step, fault)

    @rule(
        case=st.sampled_from(
            [
                ("Silent", True), ("Silent", False), ("Silent", 1), ("TimeLimit", 10), ("TimeLimit", 2.5),
                ("TimeLimit", -0.0), ("TimeLimit", -1.0), ("TimeLimit", math.inf), ("TimeLimit", math.nan),
                ("RelGap", 0.25), ("RelGap", -1.0), ("RelGap", math.nan), ("FeasTol", 1e-6), ("FeasTol", 0.0),
                ("FeasTol", 0.75), ("IntTol", 1e-6), ("Logging", 0),
                ("Logging", 2), ("Logging", 2**31), ("Logging", 2**70), ("Logging", "1"), ("Nope", True),
                ("Bad\x00name", 2**40),
            ]
        ),
        fault=faults,
    )
    def set_optimizer_attr(self, case, fault):
        attr, value = case
        step = reference.set_optimizer_attr(self.ref, fault, attr, value)
        self.expect(lambda: self.model.set_optimizer_attr(attr, value), step, fault)

    @rule(fault=faults)
    def update(self, fault):
        self.expect(self.model.update, reference.update(self.ref, fault), fault)

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
        step = reference.optimize(self.ref, fault, status, has_sol, is_mip, solution, objective)
        self.expect(self.model.optimize, step, fault)

    @rule(var_id=st.integers(0, 10) | st.sampled_from([2**64 - 1, 2**64, -1]))
    def get_var_value(self, var_id):
        self.expect(lambda: self.model.get_var_value(var_id), reference.get_var_value(self.ref, var_id))

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

        self.expect(lambda: call(self.model), Step([], predict))

    # After every step ---------------------------------------------------------------------------------------------

    @invariant()
    def module_and_solver_match_the_reference(self):
        if not hasattr(self, "model"):
            return
        reference.check_state(self.model, self.ref)
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
