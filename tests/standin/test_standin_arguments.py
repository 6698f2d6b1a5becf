"""Bad calls into the stand-in: each returns its documented code, changes nothing and crashes nothing."""

import ctypes

import pytest

from standin_ctypes import doubles, ints

NULL_ARGUMENT, INVALID_HANDLE, INVALID_COUNT, INDEX_OUT_OF_RANGE, INVALID_VALUE, UNSUPPORTED = 2, 3, 4, 5, 6, 7
UNKNOWN_PARAMETER, PARAMETER_KIND, PARAMETER_VALUE, UNKNOWN_ATTRIBUTE, ATTRIBUTE_KIND = 8, 9, 10, 11, 12
NO_SOLUTION, ENVIRONMENT_BUSY, UNKNOWN_CODE = 13, 14, 17
NAN, INF = float("nan"), float("inf")
# An address that was never handed out; the stand-in must refuse it without reading through it.
BOGUS = ctypes.c_void_p(0x10)


def add_rows(copt, prob, starts=(0,), counts=(1,), columns=(0,), values=(1.0,), senses=None, lower=(0.0,), upper=(1.0,)):
    return copt.COPT_AddRows(
        prob, len(starts), ints(starts), ints(counts), ints(columns), doubles(values), senses, doubles(lower),
        doubles(upper), None,
    )


EDITS = {
    "cols-negative-count": (INVALID_COUNT, lambda c, p: c.COPT_AddCols(p, -1, *[None] * 9)),
    "cols-type": (INVALID_VALUE, lambda c, p: c.add_cols(p, types=b"Cx")),
    "cols-lowercase-type": (INVALID_VALUE, lambda c, p: c.add_cols(p, types=b"c")),
    "cols-nan-lower": (INVALID_VALUE, lambda c, p: c.add_cols(p, lower=[0.0, NAN])),
    "cols-nan-upper": (INVALID_VALUE, lambda c, p: c.add_cols(p, upper=[NAN])),
    "cols-infinite-cost": (INVALID_VALUE, lambda c, p: c.add_cols(p, costs=[INF])),
    "cols-matrix": (UNSUPPORTED, lambda c, p: c.COPT_AddCols(p, 1, ints([0]), ints([0]), None, None, *[None] * 5)),
    "rows-negative-count": (INVALID_COUNT, lambda c, p: c.COPT_AddRows(p, -2, *[None] * 8)),
    "rows-senses": (UNSUPPORTED, lambda c, p: add_rows(c, p, senses=b"L")),
    "rows-null-starts": (NULL_ARGUMENT, lambda c, p: c.COPT_AddRows(p, 1, None, ints([0]), *[None] * 6)),
    "rows-null-entries": (NULL_ARGUMENT, lambda c, p: add_rows(c, p, columns=None)),
    "rows-negative-start": (INVALID_COUNT, lambda c, p: add_rows(c, p, starts=(-1,))),
    "rows-negative-row-count": (INVALID_COUNT, lambda c, p: add_rows(c, p, counts=(-1,))),
    "rows-column-too-large": (INDEX_OUT_OF_RANGE, lambda c, p: add_rows(c, p, columns=(2,))),
    "rows-negative-column": (INDEX_OUT_OF_RANGE, lambda c, p: add_rows(c, p, columns=(-1,))),
    "rows-nan-coefficient": (INVALID_VALUE, lambda c, p: add_rows(c, p, values=(NAN,))),
    "rows-infinite-coefficient": (INVALID_VALUE, lambda c, p: add_rows(c, p, values=(-INF,))),
    "rows-nan-bound": (INVALID_VALUE, lambda c, p: add_rows(c, p, upper=(NAN,))),
    "obj-negative-count": (INVALID_COUNT, lambda c, p: c.COPT_SetColObj(p, -1, None, None)),
    "obj-null-values": (NULL_ARGUMENT, lambda c, p: c.COPT_SetColObj(p, 1, ints([0]), None)),
    "obj-index": (INDEX_OUT_OF_RANGE, lambda c, p: c.COPT_SetColObj(p, 2, ints([0, 2]), doubles([1.0, 1.0]))),
    "obj-nan": (INVALID_VALUE, lambda c, p: c.COPT_SetColObj(p, 2, ints([0, 1]), doubles([1.0, NAN]))),
    "constant-infinite": (INVALID_VALUE, lambda c, p: c.COPT_SetObjConst(p, INF)),
    "sense": (INVALID_VALUE, lambda c, p: c.COPT_SetObjSense(p, 0)),
    "param-unknown": (UNKNOWN_PARAMETER, lambda c, p: c.COPT_SetIntParam(p, b"logging", 0)),
    "param-null-name": (NULL_ARGUMENT, lambda c, p: c.COPT_SetDblParam(p, None, 1.0)),
    "param-int-as-double": (PARAMETER_KIND, lambda c, p: c.COPT_SetDblParam(p, b"Logging", 1.0)),
    "param-double-as-int": (PARAMETER_KIND, lambda c, p: c.COPT_SetIntParam(p, b"TimeLimit", 10)),
    "param-int-range": (PARAMETER_VALUE, lambda c, p: c.COPT_SetIntParam(p, b"Logging", 2)),
    "param-negative-time": (PARAMETER_VALUE, lambda c, p: c.COPT_SetDblParam(p, b"TimeLimit", -1.0)),
    "param-nan": (PARAMETER_VALUE, lambda c, p: c.COPT_SetDblParam(p, b"RelGap", NAN)),
}


@pytest.mark.parametrize("name", EDITS)
def test_refused_edit_changes_nothing(copt, model, standin, name):
    code, edit = EDITS[name]
    assert copt.add_cols(model, types=b"CC", costs=[1.0, 2.0]) == 0
    before = standin.problem()
    assert edit(copt, model) == code
    assert standin.problem() == before
    assert standin.calls()[-1].code == code


PROBLEM_CALLS = [
    lambda c, p: c.COPT_Update(p),
    lambda c, p: c.COPT_AddCols(p, 0, *[None] * 9),
    lambda c, p: c.COPT_AddRows(p, 0, *[None] * 8),
    lambda c, p: c.COPT_SetColObj(p, 0, None, None),
    lambda c, p: c.COPT_SetObjConst(p, 0.0),
    lambda c, p: c.COPT_SetObjSense(p, 1),
    lambda c, p: c.COPT_SetIntParam(p, b"Logging", 0),
    lambda c, p: c.COPT_SetDblParam(p, b"TimeLimit", 1.0),
    lambda c, p: c.COPT_GetIntAttr(p, b"Status", ctypes.byref(ctypes.c_int())),
    lambda c, p: c.COPT_GetDblAttr(p, b"ObjVal", ctypes.byref(ctypes.c_double())),
    lambda c, p: c.COPT_Solve(p),
    lambda c, p: c.COPT_GetSolution(p, doubles([0.0])),
    lambda c, p: c.COPT_GetLpSolution(p, doubles([0.0]), None, None, None),
    lambda c, p: c.COPT_CreateProb(p, ctypes.byref(ctypes.c_void_p())),
    lambda c, p: c.COPT_CreateEnvWithConfig(p, ctypes.byref(ctypes.c_void_p())),
    lambda c, p: c.COPT_SetEnvConfig(p, b"Port", b"80"),
]


@pytest.mark.parametrize("call", PROBLEM_CALLS)
@pytest.mark.parametrize("handle", ["null", "bogus", "other-kind", "deleted"])
def test_bad_handle_is_refused(copt, standin, call, handle):
    env, prob = copt.new_problem()
    deleted = copt.create("COPT_CreateProb", env)
    deleted_address = deleted.value
    assert copt.delete("COPT_DeleteProb", deleted) == 0
    # The last three calls take an environment or a configuration; the others a problem.
    other_kind = prob if call in PROBLEM_CALLS[-3:] else env
    bad, logged = {
        "null": (None, None),
        "bogus": (BOGUS, standin.INVALID),
        "other-kind": (other_kind, "prob1" if other_kind is prob else "env1"),
        "deleted": (ctypes.c_void_p(deleted_address), standin.INVALID),
    }[handle]
    assert call(copt, bad) == INVALID_HANDLE
    assert standin.calls()[-1].args[0] == logged
    assert copt.delete("COPT_DeleteProb", prob) == 0
    assert copt.delete("COPT_DeleteEnv", env) == 0


@pytest.mark.parametrize(
    ("call", "code"),
    [
        (lambda c, p: c.COPT_GetIntAttr(p, b"Objval", ctypes.byref(ctypes.c_int())), UNKNOWN_ATTRIBUTE),
        (lambda c, p: c.COPT_GetIntAttr(p, b"ObjVal", ctypes.byref(ctypes.c_int())), ATTRIBUTE_KIND),
        (lambda c, p: c.COPT_GetDblAttr(p, b"Status", ctypes.byref(ctypes.c_double())), ATTRIBUTE_KIND),
        (lambda c, p: c.COPT_GetIntAttr(p, None, ctypes.byref(ctypes.c_int())), NULL_ARGUMENT),
        (lambda c, p: c.COPT_GetDblAttr(p, b"ObjVal", None), NULL_ARGUMENT),
        (lambda c, p: c.COPT_GetDblAttr(p, b"ObjVal", ctypes.byref(ctypes.c_double())), NO_SOLUTION),
        (lambda c, p: c.COPT_GetSolution(p, doubles([0.0])), NO_SOLUTION),
        (lambda c, p: c.COPT_GetSolution(p, None), NULL_ARGUMENT),
        (lambda c, p: c.COPT_GetLpSolution(p, doubles([0.0]), doubles([0.0]), None, None), UNSUPPORTED),
        (lambda c, p: c.COPT_GetLpSolution(p, doubles([0.0]), None, None, doubles([0.0])), UNSUPPORTED),
    ],
)
def test_bad_read_is_refused(copt, model, call, code):
    assert copt.add_cols(model, types=b"C") == 0
    assert call(copt, model) == code


def test_reads_before_and_after_solve(copt, model):
    assert copt.add_cols(model, types=b"CI") == 0
    assert [copt.int_attr(model, name) for name in ("Status", "HasSol", "IsMIP", "Cols", "Rows")] == [0, 0, 1, 2, 0]
    time = ctypes.c_double(-1.0)
    assert copt.COPT_GetDblAttr(model, b"SolvingTime", ctypes.byref(time)) == 0 and time.value == 0.0
    assert copt.COPT_Update(model) == 0
    assert copt.solve(model)["Status"] == 1
    values = doubles([7.0, 7.0])
    assert copt.COPT_GetLpSolution(model, values, None, None, None) == 0 and list(values) == [0.0, 0.0]


def test_creators_and_deleters_refuse_null_addresses(copt):
    for creator, args in (("COPT_CreateEnvConfig", ()), ("COPT_CreateEnv", ())):
        assert getattr(copt, creator)(*args, None) == NULL_ARGUMENT
    env = copt.create("COPT_CreateEnv")
    config = copt.create("COPT_CreateEnvConfig")
    assert copt.COPT_CreateProb(env, None) == NULL_ARGUMENT
    assert copt.COPT_CreateEnvWithConfig(config, None) == NULL_ARGUMENT
    for deleter in ("COPT_DeleteEnvConfig", "COPT_DeleteEnv", "COPT_DeleteProb"):
        assert getattr(copt, deleter)(None) == NULL_ARGUMENT
        assert copt.delete(deleter, ctypes.c_void_p()) == 0
        assert copt.delete(deleter, ctypes.c_void_p(BOGUS.value)) == INVALID_HANDLE
    assert copt.COPT_SetEnvConfig(config, b"Port", None) == NULL_ARGUMENT
    assert copt.delete("COPT_DeleteEnvConfig", config) == 0 and config.value is None
    assert copt.delete("COPT_DeleteEnv", env) == 0 and env.value is None


def test_environment_with_a_problem_refuses_deletion(copt, standin):
    env, prob = copt.new_problem()
    assert copt.delete("COPT_DeleteEnv", env) == ENVIRONMENT_BUSY and env.value is not None
    assert standin.live() == {"configs": 0, "envs": 1, "problems": 1}
    assert copt.delete("COPT_DeleteProb", prob) == 0 and prob.value is None
    assert copt.delete("COPT_DeleteEnv", env) == 0
    assert standin.live() == {"configs": 0, "envs": 0, "problems": 0}


def retcode_message(copt, code, size=1000):
    buffer = ctypes.create_string_buffer(b"\xff" * size, size)
    return copt.COPT_GetRetcodeMsg(code, buffer, size), buffer.value


def test_every_code_the_library_returns_is_described(copt):
    messages = [retcode_message(copt, code) for code in range(19)]
    assert all(result == 0 and text for result, text in messages)
    assert len({text for _, text in messages}) == 19
    assert messages[17] == (0, b"unknown return code")
    assert retcode_message(copt, 19) == (UNKNOWN_CODE, b"\xff" * 1000)
    assert retcode_message(copt, -1)[0] == UNKNOWN_CODE


def test_retcode_message_is_cut_to_the_buffer(copt):
    assert retcode_message(copt, 13, size=8) == (0, b"no solu")
    assert retcode_message(copt, 13, size=1) == (0, b"")
    assert copt.COPT_GetRetcodeMsg(13, None, 10) == NULL_ARGUMENT
    assert copt.COPT_GetRetcodeMsg(13, ctypes.create_string_buffer(4), 0) == INVALID_COUNT
