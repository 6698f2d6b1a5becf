"""Model(name, dll_path, env, config): the three ways to an environment, problem creation, refusals and failures."""

import sys

import pytest

from brenlox_copt import Env, EnvrConfig, Model
from support.argcheck import run_in_thread
from support.lifecycle import (
    CREATOR_FAILURES,
    arm_creator,
    assert_nothing_left,
    creator_calls,
    failure_message,
    message_of,
)
from support.standin import home, library_path

ENV_CONFLICT = "env cannot be provided together with dll_path or config"
CONFIG_CONFLICT = "config cannot be provided together with dll_path"


@pytest.mark.parametrize(
    "make",
    [
        lambda: Model(),
        lambda: Model(None, None, None, None),
        lambda: Model(env=None, config=None, dll_path=None),
        lambda: Model(name=""),
        lambda: Model("any name, é"),
        lambda: Model(dll_path=str(library_path())),
        lambda: Model(None, str(home())),
    ],
    ids=["no arguments", "None positional", "None keywords", "empty name", "name", "file", "directory"],
)
def test_model_with_a_private_environment(standin, make):
    model = make()
    # The name reaches no native call.
    assert standin.history() == ["load", "COPT_CreateEnv", "COPT_CreateProb"]
    assert standin.calls() == [("COPT_CreateEnv", ([None],)), ("COPT_CreateProb", ("env1", [None]))]
    del model
    assert standin.history()[3:] == ["COPT_DeleteProb", "COPT_DeleteEnv", "unload"]
    assert standin.calls("COPT_DeleteProb", "COPT_DeleteEnv") == [
        ("COPT_DeleteProb", (["prob1"],)),
        ("COPT_DeleteEnv", (["env1"],)),
    ]
    assert_nothing_left(standin)


def test_models_from_one_configuration_get_private_environments(standin):
    config = EnvrConfig()
    first, second = Model(config=config), Model(None, None, None, config)
    assert standin.history() == [
        "load",
        "COPT_CreateEnvConfig",
        "COPT_CreateEnvWithConfig",
        "COPT_CreateProb",
        "COPT_CreateEnvWithConfig",
        "COPT_CreateProb",
    ]
    assert [(problem.handle, problem.env) for problem in standin.problems()] == [("prob1", "env1"), ("prob2", "env2")]
    standin.reset()
    del first
    assert standin.calls() == [("COPT_DeleteProb", (["prob1"],)), ("COPT_DeleteEnv", (["env1"],))]
    del config
    assert standin.history()[2:] == ["COPT_DeleteEnvConfig"]
    assert second.add_variable() == 0
    del second
    assert standin.events() == ["unload"]
    assert_nothing_left(standin)


def test_models_on_one_env_share_its_environment(standin):
    env = Env()
    references = sys.getrefcount(env)
    standin.reset()
    first, second = Model(env=env), Model(None, None, env)
    assert standin.calls() == [("COPT_CreateProb", ("env1", [None])), ("COPT_CreateProb", ("env1", [None]))]
    assert [(problem.handle, problem.env) for problem in standin.problems()] == [("prob1", "env1"), ("prob2", "env1")]
    # The models hold the environment, not the Python object.
    assert sys.getrefcount(env) == references
    del first, second, env
    assert_nothing_left(standin)


# Conflicting arguments ----------------------------------------------------------------------------------------------


@pytest.mark.parametrize(
    "arguments, message",
    [
        ({"env": "env", "config": "config"}, ENV_CONFLICT),
        ({"env": "env", "dll_path": "nowhere"}, ENV_CONFLICT),
        ({"env": "env", "dll_path": "nowhere", "config": "config"}, ENV_CONFLICT),
        ({"config": "config", "dll_path": "nowhere"}, CONFIG_CONFLICT),
        ({"name": "m", "config": "config", "dll_path": ""}, CONFIG_CONFLICT),
    ],
)
def test_conflicting_arguments_create_nothing(standin, arguments, message):
    env, config = Env(), EnvrConfig()
    objects = {"env": env, "config": config}
    standin.reset()
    arguments = {key: objects.get(value, value) for key, value in arguments.items()}
    assert message_of(ValueError, Model, **arguments) == message
    assert standin.history() == []
    # Both objects stay usable.
    config.set("Port", 1)
    Model(env=env)
    Model(config=config)
    assert standin.history() == [
        "COPT_SetEnvConfig",
        "COPT_CreateProb",
        "COPT_DeleteProb",
        "COPT_CreateEnvWithConfig",
        "COPT_CreateProb",
        "COPT_DeleteProb",
        "COPT_DeleteEnv",
    ]
    del env, config, arguments, objects
    assert_nothing_left(standin)


def test_env_from_another_thread_creates_nothing(standin):
    env = Env()
    standin.reset()
    error = run_in_thread(lambda: Model(env=env))
    assert type(error).__name__ == "PanicException"
    assert str(error) == "brenlox_copt::env::Env is unsendable, but sent to another thread"
    assert standin.history() == []
    del error
    Model(env=env)
    assert standin.history() == ["COPT_CreateProb", "COPT_DeleteProb"]


# Problem creation failures ------------------------------------------------------------------------------------------


@pytest.mark.parametrize("failure", CREATOR_FAILURES)
@pytest.mark.parametrize("case", ["private", "config", "env"])
def test_problem_creation_failure_leaves_nothing(standin, case, failure):
    owner = {"private": None, "config": EnvrConfig(), "env": Env()}[case]
    arguments = {} if owner is None else {case: owner}
    standin.reset()
    arm_creator(standin, "COPT_CreateProb", failure)
    message = message_of(RuntimeError, Model, **arguments)
    assert message == failure_message("COPT_CreateProb", failure, "a problem")
    # A problem returned with a failure is deleted before the message lookup; a private environment goes with it.
    calls = creator_calls("COPT_CreateProb", failure, "COPT_DeleteProb", delete_first=True)
    expected = {
        "private": ["load", "COPT_CreateEnv", *calls, "COPT_DeleteEnv", "unload"],
        "config": ["COPT_CreateEnvWithConfig", *calls, "COPT_DeleteEnv"],
        "env": calls,
    }[case]
    assert standin.history() == expected
    if failure == "status_with_handle":
        assert standin.calls("COPT_DeleteProb") == [("COPT_DeleteProb", (["prob1"],))]
    if owner is not None:
        # An Env keeps its environment and a configuration stays usable.
        assert standin.live()["problems"] == 0
        assert Model(**arguments).add_variable() == 0
        del owner, arguments
    assert_nothing_left(standin)
