"""Native object lifecycles seen through the stand-in: making a creator fail in each of its three ways, and checking
that nothing native is left once the Python objects are gone."""



# The three ways a creator can fail: a nonzero status with no handle, a nonzero status that still hands out a handle,
# and status 0 with a null handle.
CREATOR_FAILURES = ("status", "status_with_handle", "null_handle")

FAILURE_CODE = 1
FAILURE_TEXT = "out of memory"  # the stand-in's text for FAILURE_CODE


def arm_creator(standin, creator, failure):
    """Makes the next call of `creator` fail in the given way."""
    if failure == "null_handle":
        standin.null_handle(creator)
    else:
        standin.fail(creator, FAILURE_CODE, with_handle=failure == "status_with_handle")


def creator_calls(creator, failure, handle_deleter, delete_first):
    """The calls that a failing creator causes, in order: itself, then for a failed status the message lookup and,
    when a handle came back all the same, its deletion (before the lookup when `delete_first`, else after it)."""
    if failure == "null_handle":
        return [creator]
    if failure == "status":
        return [creator, "COPT_GetRetcodeMsg"]
    if delete_first:
        return [creator, handle_deleter, "COPT_GetRetcodeMsg"]
    return [creator, "COPT_GetRetcodeMsg", handle_deleter]


def failure_message(creator, failure, what):
    """The RuntimeError text of a failing creator; `what` is the kind of handle named in the null-handle message."""
    if failure == "null_handle":
        return f"Backend state error: {creator} succeeded without returning {what}"
    return f"COPT error in {creator}: code {FAILURE_CODE}: {FAILURE_TEXT}"


def assert_nothing_left(standin):
    """No configuration, environment or problem is alive and no copt.dll is mapped."""
    standin.collect_native_garbage()
    assert standin.live() == {"configs": 0, "envs": 0, "problems": 0}
    assert standin.loaded() == 0


def message_of(exception_type, call, *args, **kwargs):
    """The text of the exception that call(*args, **kwargs) raises, which must be exactly `exception_type`."""
    try:
        call(*args, **kwargs)
    except BaseException as error:  # noqa: BLE001 - the type is checked below
        assert type(error) is exception_type, repr(error)
        return str(error)
    raise AssertionError(f"no {exception_type.__name__} raised")
