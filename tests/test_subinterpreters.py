"""Sub-interpreters that share the main interpreter's lock (as embedders and web servers make them) import the module
with classes of their own: nothing one of them does to its classes, exception type or arrays reaches the main
interpreter or outlives it, whichever imports first, round after round, and the process ends cleanly. Interpreters
with a lock of their own are refused at import."""

import subprocess
import sys
import textwrap

import pytest

from support.child import child_environment

# How a child makes a legacy (shared-lock) sub-interpreter and runs code in it: the interpreters module of this
# CPython (3.13 and later: _interpreters, before: _xxsubinterpreters), or _testcapi.run_in_subinterp.
INTERPRETERS_MODULE = """
try:
    import _interpreters as interpreters
    def make(isolated):
        return interpreters.create("isolated" if isolated else "legacy")
except ImportError:
    import _xxsubinterpreters as interpreters
    def make(isolated):
        return interpreters.create(isolated=isolated)

def in_subinterpreter(code, isolated=False):
    interpreter = make(isolated)
    try:
        failure = interpreters.run_string(interpreter, code)
        assert failure is None, failure
    finally:
        interpreters.destroy(interpreter)
"""
TESTCAPI = """
import _testcapi

def in_subinterpreter(code):
    assert _testcapi.run_in_subinterp(code) == 0
"""


def available(module: str) -> bool:
    return subprocess.run([sys.executable, "-c", f"import {module}"], capture_output=True).returncode == 0


HAS_INTERPRETERS = available("_interpreters") or available("_xxsubinterpreters")
WAYS = [
    pytest.param(INTERPRETERS_MODULE, id="interpreters module",
                 marks=pytest.mark.skipif(not HAS_INTERPRETERS, reason="this CPython has no interpreters module")),
    pytest.param(TESTCAPI, id="_testcapi.run_in_subinterp",
                 marks=pytest.mark.skipif(not available("_testcapi"), reason="this CPython is built without _testcapi")),
]

# What a sub-interpreter does to what it imported, and how the main interpreter shows it untouched. Each leaves an
# object of the sub-interpreter's own on a type that, shared, the main interpreter would go on using after that
# interpreter ended (deleting such an attribute crashed the process).
PANIC = """
import threading
def internal_failure():
    model = brenlox_copt.Model()
    caught = []
    def use():
        try:
            model.update()
        except BaseException as error:
            caught.append(error)
    thread = threading.Thread(target=use)
    thread.start()
    thread.join()
    assert type(caught[0]).__name__ == "PanicException", caught
    return type(caught[0])
"""
LEAKS = {
    "object left on a class": (
        "class Cache: pass\nbrenlox_copt.Model.cache = Cache()",
        "try:\n    del brenlox_copt.Model.cache\nexcept AttributeError:\n    pass\nelse:\n    raise AssertionError('leaked')"),
    "method patched": (
        "brenlox_copt.Model.optimize = lambda self: 'patched'\nbrenlox_copt.COPT.CLIENT_PORT = 'patched'",
        "assert type(vars(brenlox_copt.Model)['optimize']).__name__ == 'method_descriptor'\nassert brenlox_copt.COPT.CLIENT_PORT == 'Port'"),
    "object left on the internal-failure exception": (
        PANIC + "class Cache: pass\ninternal_failure().cache = Cache()",
        PANIC + "panic = internal_failure()\n"
        "try:\n    del panic.cache\nexcept AttributeError:\n    pass\nelse:\n    raise AssertionError('leaked')"),
    "array types of the buffer reader": (
        "import array\nmodel = brenlox_copt.Model()\nassert model.add_variables(2, lbs=array.array('d', [0, 1])) == [0, 1]",
        "import array\nmodel = brenlox_copt.Model()\nassert model.add_variables(2, lbs=array.array('d', [0, 1])) == [0, 1]\n"
        "assert model.add_variables(1, lbs=memoryview(array.array('d', [2]))) == [2]"),
}
ROUNDS = 25


def run_child(source: str) -> subprocess.CompletedProcess:
    return subprocess.run([sys.executable, "-c", source], capture_output=True, text=True,
                          env=child_environment(), timeout=300)


@pytest.mark.parametrize("main_first", [True, False], ids=["main interpreter first", "sub-interpreter first"])
@pytest.mark.parametrize("sub_code, main_check", LEAKS.values(), ids=LEAKS.keys())
@pytest.mark.parametrize("way", WAYS)
def test_subinterpreters_never_reach_the_main_interpreters_objects(way, sub_code, main_check, main_first):
    source = way + textwrap.dedent(f"""
        if {main_first}:
            import brenlox_copt
        for round in range({ROUNDS}):
            in_subinterpreter("import brenlox_copt\\n" + {sub_code!r})
            import brenlox_copt
            exec({main_check!r})
        print("clean")
    """)
    child = run_child(source)
    assert (child.returncode, child.stdout) == (0, "clean\n"), child.stderr


@pytest.mark.skipif(sys.version_info < (3, 12) or not HAS_INTERPRETERS,
                    reason="interpreters with a lock of their own came with CPython 3.12")
def test_interpreters_with_their_own_lock_are_refused_at_import():
    source = INTERPRETERS_MODULE + textwrap.dedent("""
        in_subinterpreter('''
        try:
            import brenlox_copt
        except ImportError as error:
            assert "brenlox_copt" in str(error), error
        else:
            raise AssertionError("imported")
        ''', isolated=True)
        import brenlox_copt
        print("clean")
    """)
    child = run_child(source)
    assert (child.returncode, child.stdout) == (0, "clean\n"), child.stderr


# A sub-interpreter that keeps the classes and drops the module: every object of those classes is still recognised
# (an object's class leads to the module that made it, whose state the check uses), round after round. An object of
# a module object dropped in an earlier round is another module's, refused as any other object is.
REIMPORTED = """
import gc, sys
previous = None
for round in range(100):
    from brenlox_copt import Env, Model
    del sys.modules["brenlox_copt"]
    gc.collect()
    env = Env()
    assert Model(env=env).add_variable() == 0
    if previous is not None:
        try:
            Model(env=previous)
        except TypeError as error:
            assert str(error) == "'Env' object is not an instance of 'Env'", error
        else:
            raise AssertionError("another module object's Env taken")
    previous = env
"""


@pytest.mark.parametrize("way", WAYS)
def test_classes_outlive_their_module_in_a_subinterpreter(way):
    source = way + textwrap.dedent(f"""
        in_subinterpreter({REIMPORTED!r})
        import brenlox_copt
        assert brenlox_copt.Model(env=brenlox_copt.Env()).add_variable() == 0
        print("clean")
    """)
    child = run_child(source)
    assert (child.returncode, child.stdout) == (0, "clean\n"), child.stderr


# Objects that reach another interpreter (here by address, as through any object both can see) and are dropped there
# release nothing of either interpreter: each still makes and recognises its own objects afterwards. Given to a
# method of the other interpreter's module, they are refused as any other object is. (Their own methods are not
# called there: from CPython 3.13 on, an interpreter's method cache can hand out its own class's method for another
# interpreter's class, which CPython then refuses, whatever the module does.)
CROSSING = INTERPRETERS_MODULE + """
import ctypes, textwrap

slot = ctypes.c_ssize_t()
# Each interpreter hands an object over by leaving a reference and its address in `slot`, taken back by take().
HANDOVER = f'''
import ctypes, gc
from brenlox_copt import Env, Model
incref, decref = ctypes.pythonapi.Py_IncRef, ctypes.pythonapi.Py_DecRef
incref.argtypes = decref.argtypes = [ctypes.py_object]
slot = ctypes.c_ssize_t.from_address({ctypes.addressof(slot)})
def give(objects):
    incref(objects)
    slot.value = id(objects)
def take():
    objects = ctypes.cast(slot.value, ctypes.py_object).value
    decref(objects)
    return objects
def take_refuse_and_drop():
    model, env = take()
    try:
        Model(env=env)
    except TypeError as error:
        assert str(error) == "'Env' object is not an instance of 'Env'", error
    else:
        raise AssertionError("another interpreter's Env taken")
    del model, env
    gc.collect()
    assert Model(env=Env()).add_variable() == 0
'''
exec(HANDOVER)

interpreter = make(False)
def run(code):
    failure = interpreters.run_string(interpreter, textwrap.dedent(code))
    assert failure is None, failure

run(HANDOVER)
model = Model()
model.add_variable()
give((model, Env()))
del model
run('''
    take_refuse_and_drop()
    model = Model()
    give((model, Env()))
    del model
''')
take_refuse_and_drop()
run("assert Model(env=Env()).add_variable() == 0")
interpreters.destroy(interpreter)
assert Model(env=Env()).add_variable() == 0
print("clean")
"""


@pytest.mark.skipif(not HAS_INTERPRETERS, reason="this CPython has no interpreters module")
def test_objects_dropped_in_another_interpreter_release_nothing_there():
    child = run_child(CROSSING)
    assert (child.returncode, child.stdout) == (0, "clean\n"), child.stderr
