"""Env: native environments, plain or from a client configuration, shared by models and released in order."""

import pytest

from brenlox_copt import Env, EnvrConfig, Model
from support.lifecycle import (
    CREATOR_FAILURES,
    arm_creator,
    assert_nothing_left,
    creator_calls,
    failure_message,
    message_of,
)
from support.standin import home, library_path


@pytest.mark.parametrize(
    "make",
    [
        lambda: Env(),
        lambda: Env(None, None),
        lambda: Env(dll_path=None, config=None),
        lambda: Env(dll_path=str(library_path())),
        lambda: Env(str(home())),
    ],
    ids=["no arguments", "None positional", "None keywords", "file", "directory"],
)
def test_plain_environment_lifecycle(standin, make):
    env = make()
    assert standin.calls() == [("COPT_CreateEnv", ([None],))]
    assert standin.history() == ["load", "COPT_CreateEnv"]
    del env
    assert standin.history() == ["load", "COPT_CreateEnv", "COPT_DeleteEnv", "unload"]
    assert standin.calls("COPT_DeleteEnv") == [("COPT_DeleteEnv", (["env1"],))]
    assert_nothing_left(standin)


def test_two_environments_are_independent(standin):
    first, second = Env(), Env()
    assert standin.calls() == [("COPT_CreateEnv", ([None],)), ("COPT_CreateEnv", ([None],))]
    assert standin.live()["envs"] == 2
    del first
    assert standin.calls("COPT_DeleteEnv") == [("COPT_DeleteEnv", (["env1"],))]
    assert standin.events() == ["load"]
    model = Model(env=second)
    assert [problem.env for problem in standin.problems()] == ["env2"]
    del model, second
    assert standin.events() == ["load", "unload"]
    assert_nothing_left(standin)


@pytest.mark.parametrize(
    "make", [lambda config: Env(config=config), lambda config: Env(None, config)], ids=["keyword", "positional"]
)
def test_environment_from_a_configuration_uses_its_library(standin, make):
    config = EnvrConfig()
    env = make(config)
    assert standin.history() == ["load", "COPT_CreateEnvConfig", "COPT_CreateEnvWithConfig"]
    assert standin.calls("COPT_CreateEnvWithConfig") == [("COPT_CreateEnvWithConfig", ("config1", [None]))]
    del env
    assert standin.history()[-1] == "COPT_DeleteEnv"
    assert standin.live() == {"configs": 1, "envs": 0, "problems": 0}
    del config
    assert standin.history()[-2:] == ["COPT_DeleteEnvConfig", "unload"]
    assert_nothing_left(standin)


def test_configuration_with_dll_path_is_refused(standin, tmp_path):
    config = EnvrConfig()
    standin.reset()
    # A path that exists nowhere: the refusal must come before any search.
    message = message_of(ValueError, Env, dll_path=str(tmp_path / "none"), config=config)
    assert message == "config cannot be provided together with dll_path"
    assert standin.history() == []
    config.set("Port", 1)
    env = Env(config=config)
    assert standin.history() == ["COPT_SetEnvConfig", "COPT_CreateEnvWithConfig"]
    del env, config
    assert_nothing_left(standin)


# Release order ------------------------------------------------------------------------------------------------------


def test_models_outlive_their_env_and_the_last_one_deletes_it(standin):
    env = Env()
    first, second = Model(env=env), Model(env=env)
    assert [(problem.handle, problem.env) for problem in standin.problems()] == [("prob1", "env1"), ("prob2", "env1")]
    standin.reset()
    del env
    assert standin.history() == []
    # Both models keep working on the shared environment.
    assert first.add_variable(lb=1.0) == 0
    assert second.add_variables(2) == [0, 1]
    assert first.optimize() == 1 and first.get_var_value(0) == 1.0
    standin.reset()
    del first
    assert standin.history() == ["COPT_DeleteProb"]
    assert standin.live() == {"configs": 0, "envs": 1, "problems": 1}
    del second
    assert standin.history() == ["COPT_DeleteProb", "COPT_DeleteProb", "COPT_DeleteEnv", "unload"]
    assert standin.calls() == [
        ("COPT_DeleteProb", (["prob1"],)),
        ("COPT_DeleteProb", (["prob2"],)),
        ("COPT_DeleteEnv", (["env1"],)),
    ]
    # Deleted for real: the stand-in refuses (14) to delete an environment that still has problems.
    assert [call.code for call in standin.calls()] == [0, 0, 0]
    assert_nothing_left(standin)


def test_model_outlives_env_made_from_a_configuration(standin):
    config = EnvrConfig()
    env = Env(config=config)
    model = Model(env=env)
    del env, config
    assert standin.live() == {"configs": 0, "envs": 1, "problems": 1}
    assert model.add_variable() == 0
    standin.reset()
    del model
    assert standin.history() == ["COPT_DeleteProb", "COPT_DeleteEnv", "unload"]
    assert_nothing_left(standin)


# Creation failures --------------------------------------------------------------------------------------------------

ENV_CREATIONS = {
    "Env()": (lambda config: Env(), "COPT_CreateEnv"),
    "Env(config)": (lambda config: Env(config=config), "COPT_CreateEnvWithConfig"),
    "Model()": (lambda config: Model(), "COPT_CreateEnv"),
    "Model(config)": (lambda config: Model(config=config), "COPT_CreateEnvWithConfig"),
}


@pytest.mark.parametrize("failure", CREATOR_FAILURES)
@pytest.mark.parametrize("creation", ENV_CREATIONS)
def test_environment_creation_failure_leaves_nothing(standin, creation, failure):
    make, creator = ENV_CREATIONS[creation]
    config = EnvrConfig() if creator == "COPT_CreateEnvWithConfig" else None
    standin.reset()
    arm_creator(standin, creator, failure)
    message = message_of(RuntimeError, make, config)
    assert message == failure_message(creator, failure, "an environment")
    # A handle returned with a failure is deleted after the message lookup; no problem is attempted.
    calls = creator_calls(creator, failure, "COPT_DeleteEnv", delete_first=False)
    if config is None:
        assert standin.history() == ["load", *calls, "unload"]
    else:
        assert standin.history() == calls
        assert standin.live() == {"configs": 1, "envs": 0, "problems": 0}
        config.set("Port", 1)  # the configuration is untouched and usable
        del config
    if failure == "status_with_handle":
        assert standin.calls("COPT_DeleteEnv") == [("COPT_DeleteEnv", (["env1"],))]
    assert_nothing_left(standin)
