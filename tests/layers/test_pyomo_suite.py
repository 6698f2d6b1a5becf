"""The solver tests of pyomo.contrib.solver (tests/solvers/test_solvers.py) with "brenlox_copt" added to the solver
lists that apply to it: every test Pyomo runs over all its solvers or over its MIP solvers. Tests over the lists of
solvers with duals, quadratic or nonlinear models are left out, as they are for Pyomo's other LP/MIP solvers.

Pyomo generates one test per listed solver when its module is imported (parameterized.expand), so the installed
files stay as they are: each generated test keeps the original function and its parameters, from which the same
test is generated for our solver in subclasses that hold only those."""

import unittest

import pytest

pytest.importorskip("pyomo")
pytest.importorskip("parameterized")

from parameterized import param  # noqa: E402
from pyomo.contrib.solver.tests.solvers import test_solvers as suite  # noqa: E402

from brenlox_copt_modelling.pyomo import NAME, BrenloxCopt  # noqa: E402

# Each with its reason; the adapter's docs (docs/modelling-pyomo.md) list the same.
SKIPPED: dict[str, str] = {}


def _generated(cls):
    """{original function: (its list's solver names, the parameter arity)} of the tests generated in cls."""
    found = {}
    for name, member in vars(cls).items():
        original = getattr(member, "place_as", None)
        if not name.startswith("test_") or original is None:
            continue
        cells = dict(zip(member.__code__.co_freevars, (c.cell_contents for c in member.__closure__)))
        names, _ = found.setdefault(original, (set(), len(cells["p"].args)))
        names.add(cells["p"].args[0])
    return found


def _ours(cls):
    """A subclass of cls holding only the tests generated for our solver, None when no test applies."""
    applies = [{name for name, *_ in suite._load_tests(lst)} for lst in (suite.all_solvers, suite.mip_solvers)]
    applies += [{name for name, _ in lst} for lst in (suite.all_solvers, suite.mip_solvers)]
    members = {name: None for name in vars(cls) if name.startswith("test_")}
    added = 0
    for original, (names, arity) in _generated(cls).items():
        if names not in applies:
            continue
        args = (NAME, BrenloxCopt, False)[:arity]
        test_name = f"{original.__name__}_{NAME}"
        test = suite.mark_parameterized.param_as_standalone_func(param(*args), original, test_name)
        test.__test__ = True  # copied from the original, which parameterized hid from collectors
        members[test_name] = unittest.skip(SKIPPED[test_name])(test) if test_name in SKIPPED else test
        added += 1
    return type(f"{cls.__name__}BrenloxCopt", (cls,), members) if added else None


for _cls in (suite.TestSolvers, suite.TestLegacySolverInterface, suite.TestDualSignConvention):
    _sub = _ours(_cls)
    if _sub is not None:
        globals()[_sub.__name__] = _sub
del _cls, _sub
