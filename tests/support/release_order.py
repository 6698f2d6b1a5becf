"""The release rule seen in the stand-in's log: every handle deleted exactly once, each problem before the environment
it lives in, and copt.dll unloaded after the last deletion."""


def deleted_handles(calls):
    """(entry point, handle) for every deletion among `calls`."""
    return [(call.name, call.args[0][0]) for call in calls if call.name.startswith("COPT_Delete")]


def assert_released_once_in_order(history, calls, owners, unloaded=True):
    """`history` is what the log shows of the release (entry points and events), `calls` its calls, `owners` maps
    each problem that was live before the release to its environment; `unloaded` says whether the release ends with
    the library's unload (or leaves it mapped, with no unload at all)."""
    deleted = deleted_handles(calls)
    assert len(set(deleted)) == len(deleted), deleted
    assert sorted(handle for name, handle in deleted if name == "COPT_DeleteProb") == sorted(owners)
    for problem, env in owners.items():
        assert deleted.index(("COPT_DeleteProb", problem)) < deleted.index(("COPT_DeleteEnv", env)), deleted
    assert [item for item in history if item in ("load", "unload")] == (["unload"] if unloaded else [])
    assert not unloaded or history[-1] == "unload"
