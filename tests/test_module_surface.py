"""The module's surface: its four classes, their type properties and docstrings, COPT, and the execution step."""

import importlib
import importlib.util
import sys

import pytest

import brenlox_copt

CLASSES = ["COPT", "Env", "EnvrConfig", "Model"]
HEAPTYPE_FLAGS = {"BASETYPE": 1 << 10, "HAVE_GC": 1 << 14}

MODEL_METHODS = [
    ("add_variable", "($self, name=None, vtype=None, lb=None, ub=None)"),
    ("add_variables", "($self, n, names=None, vtypes=None, lbs=None, ubs=None)"),
    ("add_constraint", "($self, vars, coeffs, constant, sense, rhs, name=None)"),
    ("add_constraints", "($self, fs_vars, fs_coeffs, fs_consts, senses, rhss, names=None)"),
    ("set_objective", "($self, vars, coeffs, constant, sense)"),
    ("update", "($self)"),
    ("optimize", "($self)"),
    ("get_var_value", "($self, var_id)"),
    ("get_objective_value", "($self)"),
    ("set_optimizer_attr", "($self, attr, value)"),
]


def public_names(cls):
    return [name for name in vars(cls) if not name.startswith("__")]


def test_module_lists_the_four_classes_and_has_an_empty_docstring():
    assert brenlox_copt.__all__ == CLASSES
    assert brenlox_copt.__doc__ == ""
    assert [name for name in vars(brenlox_copt) if not name.startswith("__")] == CLASSES
    assert not hasattr(brenlox_copt, "PanicException")


@pytest.mark.parametrize("name", CLASSES)
def test_type_properties(name):
    cls = getattr(brenlox_copt, name)
    assert (cls.__module__, cls.__name__, cls.__qualname__) == ("builtins", name, name)
    assert repr(cls) == f"<class 'builtins.{name}'>"
    assert cls.__bases__ == (object,)
    assert cls.__flags__ & (HEAPTYPE_FLAGS["BASETYPE"] | HEAPTYPE_FLAGS["HAVE_GC"]) == 0
    assert (cls.__dictoffset__, cls.__weakrefoffset__) == (0, 0)
    with pytest.raises(TypeError):
        type("Derived", (cls,), {})


@pytest.mark.parametrize(
    "name, signature, doc",
    [
        ("Env", "(dll_path=None, config=None)", "Python owner for a reusable native COPT environment."),
        ("EnvrConfig", "(dll_path=None)", "Python wrapper for the solver's client configuration object."),
        ("Model", "(name=None, dll_path=None, env=None, config=None)", "Python adapter for the native COPT optimizer."),
        ("COPT", None, "COPT client configuration names exposed by COPT 8.0.6."),
    ],
)
def test_class_signature_and_docstring(name, signature, doc):
    cls = getattr(brenlox_copt, name)
    assert cls.__text_signature__ == signature
    assert cls.__doc__ == doc


def test_method_tables():
    Model, EnvrConfig = brenlox_copt.Model, brenlox_copt.EnvrConfig
    assert public_names(Model) == [name for name, _ in MODEL_METHODS]
    for name, signature in MODEL_METHODS:
        method = getattr(Model, name)
        assert (method.__text_signature__, method.__doc__) == (signature, None), name
    assert public_names(EnvrConfig) == ["set"]
    assert EnvrConfig.set.__text_signature__ == "($self, name, value)"
    assert EnvrConfig.set.__doc__ == "Set a client configuration value before creating an environment."
    assert public_names(brenlox_copt.Env) == []


def test_copt_constants_in_order():
    assert {name: getattr(brenlox_copt.COPT, name) for name in public_names(brenlox_copt.COPT)} == {
        "CLIENT_CAFILE": "CaFile",
        "CLIENT_CERTFILE": "CertFile",
        "CLIENT_CERTKEYFILE": "CertKeyFile",
        "CLIENT_CLUSTER": "Cluster",
        "CLIENT_PASSWORD": "PassWord",
        "CLIENT_PORT": "Port",
        "CLIENT_PRIORITY": "Priority",
        "CLIENT_WAITTIME": "WaitTime",
    }
    assert list(public_names(brenlox_copt.COPT)) == [
        "CLIENT_CAFILE", "CLIENT_CERTFILE", "CLIENT_CERTKEYFILE", "CLIENT_CLUSTER",
        "CLIENT_PASSWORD", "CLIENT_PORT", "CLIENT_PRIORITY", "CLIENT_WAITTIME",
    ]  # fmt: skip


@pytest.mark.parametrize("args, kwargs", [((), {}), ((1, 2), {"x": 3})])
def test_copt_refuses_construction(args, kwargs):
    with pytest.raises(TypeError) as caught:
        brenlox_copt.COPT(*args, **kwargs)
    assert str(caught.value) == "cannot create 'builtins.COPT' instances"


def fresh_module(prepare=None):
    """A new module object made from the definition, after `prepare(module)`, with the execution step run on it."""
    spec = importlib.util.find_spec("brenlox_copt")
    module = importlib.util.module_from_spec(spec)
    if prepare is not None:
        prepare(module)
    spec.loader.exec_module(module)
    return module


def test_reimport_and_reload_give_the_same_classes():
    first = sys.modules.pop("brenlox_copt")
    try:
        second = importlib.import_module("brenlox_copt")
        assert second is not first
        assert second.__all__ == CLASSES
        for name in CLASSES:
            assert getattr(second, name) is getattr(first, name)
        # A reload keeps the module object and its classes.
        assert importlib.reload(second) is second
        assert second.Model is first.Model
        assert second.Model(env=first.Env()).add_variable() == 0
    finally:
        sys.modules["brenlox_copt"] = first


def test_execution_step_appends_to_an_existing_all_list():
    module = fresh_module(lambda module: setattr(module, "__all__", ["extra"]))
    assert module.__all__ == ["extra", *CLASSES]
    assert module.Model is brenlox_copt.Model


def test_execution_step_refuses_an_all_that_is_not_a_list():
    with pytest.raises(TypeError) as caught:
        fresh_module(lambda module: setattr(module, "__all__", ("extra",)))
    assert str(caught.value) == "'tuple' object is not an instance of 'list'"
