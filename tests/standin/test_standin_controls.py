"""The stand-in's test controls and its call log, as the module's tests will use them."""

import ctypes
import math
import struct

import pytest

from standin_ctypes import Copt, doubles, ints

NAN, INF = float("nan"), float("inf")
BOGUS = ctypes.c_void_p(0x10)


def bits(values):
    return [struct.pack("<d", value) for value in values]


def test_log_keeps_arrays_doubles_and_names_exactly(copt, model, standin):
    lower = [-0.0, 5e-324, -1e30, 0.1, -1.7976931348623157e308]
    upper = [INF, 1e30, 1.7976931348623157e308, 0.30000000000000004, -0.0]
    names = [b"x0", "\u00e9t\u00e9".encode(), b"\xff\xfe", None, b""]
    assert copt.add_cols(model, types=b"CIBCC", lower=lower, upper=upper, names=names) == 0
    (call,) = standin.calls("COPT_AddCols")
    assert call == ("COPT_AddCols", ("prob1", 5, None, None, None, None, None, list("CIBCC"), lower, upper,
                                     ["x0", "\u00e9t\u00e9", "\udcff\udcfe", None, ""]))
    assert bits(call.args[8]) == bits(lower) and bits(call.args[9]) == bits(upper)
    assert copt.add_cols(model, lower=[NAN, -INF]) == 6
    refused = standin.calls()[-1]
    assert refused.code == 6 and math.isnan(refused.args[8][0]) and refused.args[8][1] == -INF
    assert [column.name for column in standin.problem().columns] == ["x0", "\u00e9t\u00e9", "\udcff\udcfe", "", ""]


def test_log_shows_handles_presets_and_outputs(copt, standin):
    env, prob = copt.new_problem()
    assert copt.COPT_GetIntAttr(prob, b"Status", ctypes.byref(ctypes.c_int(7))) == 0
    assert copt.COPT_GetDblAttr(prob, b"ObjVal", ctypes.byref(ctypes.c_double(-0.0))) == 13
    assert copt.COPT_GetLpSolution(prob, doubles([0.0]), None, None, None) == 13
    assert copt.COPT_GetRetcodeMsg(13, ctypes.create_string_buffer(1000), 1000) == 0
    rows = ints([0])
    assert copt.COPT_AddRows(prob, -1, rows, rows, rows, None, None, None, None, None) == 4
    assert copt.COPT_CreateEnv(None) == 2
    assert copt.delete("COPT_DeleteProb", prob) == 0
    assert copt.delete("COPT_DeleteEnv", env) == 0
    assert standin.calls() == [
        ("COPT_CreateEnv", ([None],)),
        ("COPT_CreateProb", ("env1", [None])),
        ("COPT_SetIntParam", ("prob1", "Logging", 0)),
        ("COPT_GetIntAttr", ("prob1", "Status", [7])),
        ("COPT_GetDblAttr", ("prob1", "ObjVal", [-0.0])),
        ("COPT_GetLpSolution", ("prob1", standin.OUT, None, None, None)),
        ("COPT_GetRetcodeMsg", (13, standin.OUT, 1000)),
        ("COPT_AddRows", ("prob1", -1, *[standin.UNREAD] * 3, None, None, None, None, None)),
        ("COPT_CreateEnv", (None,)),
        ("COPT_DeleteProb", (["prob1"],)),
        ("COPT_DeleteEnv", (["env1"],)),
    ]
    assert math.copysign(1.0, standin.calls("COPT_GetDblAttr")[0].args[2][0]) == -1.0
    assert [call.code for call in standin.calls()] == [0, 0, 0, 0, 13, 13, 0, 4, 2, 0, 0]


@pytest.mark.parametrize(
    ("nth", "persistent", "codes"),
    [(1, False, [42, 0, 0, 0]), (3, False, [0, 0, 42, 0]), (2, True, [0, 42, 42, 42])],
)
def test_fail_on_the_nth_call(copt, model, standin, nth, persistent, codes):
    standin.fail("COPT_Update", 42, nth=nth, persistent=persistent)
    assert [copt.COPT_Update(model) for _ in codes] == codes
    assert [call.code for call in standin.calls("COPT_Update")] == codes


def test_failed_call_does_nothing_and_rearming_replaces(copt, model, standin):
    standin.fail("COPT_AddCols", -7, persistent=True)
    standin.fail("COPT_AddCols", 5)
    assert copt.add_cols(model, types=b"C") == 5
    assert standin.problem().columns == []
    assert copt.add_cols(model, types=b"C") == 0
    assert len(standin.problem().columns) == 1


CREATOR_ARGS = {
    "COPT_CreateEnvConfig": lambda env, config: (),
    "COPT_CreateEnv": lambda env, config: (),
    "COPT_CreateEnvWithConfig": lambda env, config: (config,),
    "COPT_CreateProb": lambda env, config: (env,),
}
LIVE_KIND = {"COPT_CreateEnvConfig": "configs", "COPT_CreateEnv": "envs", "COPT_CreateEnvWithConfig": "envs",
             "COPT_CreateProb": "problems"}


@pytest.mark.parametrize("creator", CREATOR_ARGS)
@pytest.mark.parametrize("control", ["with_handle", "null_handle"])
def test_creator_controls(copt, standin, creator, control):
    env = copt.create("COPT_CreateEnv")
    config = copt.create("COPT_CreateEnvConfig")
    if control == "with_handle":
        standin.fail(creator, 9, with_handle=True)
    else:
        standin.null_handle(creator, nth=2)
        assert copt.delete(creator.replace("Create", "Delete").replace("WithConfig", ""),
                           copt.create(creator, *CREATOR_ARGS[creator](env, config))) == 0
    before = standin.live()[LIVE_KIND[creator]]
    handle = ctypes.c_void_p()
    code = getattr(copt, creator)(*CREATOR_ARGS[creator](env, config), ctypes.byref(handle))
    if control == "with_handle":
        assert code == 9 and handle.value is not None
        assert standin.live()[LIVE_KIND[creator]] == before + 1
        deleter = {"configs": "COPT_DeleteEnvConfig", "envs": "COPT_DeleteEnv", "problems": "COPT_DeleteProb"}
        assert copt.delete(deleter[LIVE_KIND[creator]], handle) == 0
    else:
        assert code == 0 and handle.value is None
        assert standin.live()[LIVE_KIND[creator]] == before
    assert copt.delete("COPT_DeleteEnvConfig", config) == 0
    assert copt.delete("COPT_DeleteEnv", env) == 0


@pytest.mark.parametrize(
    "request_",
    [
        lambda s: s.fail("COPT_Nothing", 1),
        lambda s: s.fail("COPT_Solve", 0),
        lambda s: s.fail("COPT_Solve", 1, nth=0),
        lambda s: s.fail("COPT_Solve", 1, with_handle=True),
        lambda s: s.null_handle("COPT_DeleteEnv"),
    ],
)
def test_bad_control_requests_raise(standin, request_):
    with pytest.raises(ValueError):
        request_(standin)


@pytest.mark.parametrize(
    ("text", "expected"),
    [
        ("Custom failure text", b"Custom failure text"),
        ("", b""),
        (" \t\n ", b" \t\n "),
        (b"bad \xff\xfe bytes", b"bad \xff\xfe bytes"),
        ("\u00fcber", "\u00fcber".encode()),
    ],
)
@pytest.mark.parametrize("code", [13, 12345, -3])
def test_set_message(copt, standin, text, expected, code):
    standin.set_message(code, text)
    buffer = ctypes.create_string_buffer(b"\x01" * 1000, 1000)
    assert copt.COPT_GetRetcodeMsg(code, buffer, 1000) == 0
    assert buffer.raw[: len(expected) + 1] == expected + b"\0"


def test_set_message_none_makes_the_lookup_fail(copt, standin):
    standin.set_message(13, None)
    buffer = ctypes.create_string_buffer(16)
    assert copt.COPT_GetRetcodeMsg(13, buffer, 16) == 17
    assert copt.COPT_GetRetcodeMsg(12, buffer, 16) == 0


def small_lp(copt, prob):
    """max x + 2y with x, y in [0, 1] and x + y <= 1.5: 2.5 at (0.5, 1)."""
    assert copt.add_cols(prob, types=b"CC", upper=[1.0, 1.0]) == 0
    assert copt.add_rows(prob, [[(0, 1.0), (1, 1.0)]], [-1e30], [1.5]) == 0
    copt.set_objective(prob, [1.0, 2.0], constant=0.25, sense=-1)


def test_forced_result_lasts_one_solve(copt, model, standin):
    small_lp(copt, model)
    standin.force_result(status=8, has_sol=1, is_mip=1, obj_val=-0.5, solution=[3.0, -4.0])
    assert copt.solve(model) == {"Status": 8, "HasSol": 1, "IsMIP": 1, "values": [3.0, -4.0], "ObjVal": -0.5}
    assert copt.solve(model) == {"Status": 1, "HasSol": 1, "IsMIP": 0, "values": [0.5, 1.0], "ObjVal": 2.75}


@pytest.mark.parametrize(
    ("forced", "expected"),
    [
        ({"status": 21}, {"Status": 21, "HasSol": 1, "IsMIP": 0, "values": [0.5, 1.0], "ObjVal": 2.75}),
        ({"has_sol": 0}, {"Status": 1, "HasSol": 0, "IsMIP": 0}),
        ({"solution": [1.0, 0.5]}, {"Status": 1, "HasSol": 1, "IsMIP": 0, "values": [1.0, 0.5], "ObjVal": 2.25}),
        ({"obj_val": 7.0}, {"Status": 1, "HasSol": 1, "IsMIP": 0, "values": [0.5, 1.0], "ObjVal": 7.0}),
    ],
)
def test_forced_fields_replace_only_themselves(copt, model, standin, forced, expected):
    small_lp(copt, model)
    standin.force_result(**forced)
    assert copt.solve(model) == expected


def test_forced_solution_on_an_infeasible_model(copt, model, standin):
    assert copt.add_cols(model, types=b"C", lower=[2.0], upper=[1.0]) == 0
    copt.set_objective(model, [3.0], constant=1.0)
    standin.force_result(has_sol=1, solution=[0.5])
    assert copt.solve(model) == {"Status": 2, "HasSol": 1, "IsMIP": 0, "values": [0.5], "ObjVal": 2.5}


def test_forced_solution_of_the_wrong_length_fails_the_solve(copt, model, standin):
    small_lp(copt, model)
    standin.force_result(status=1, solution=[1.0])
    assert copt.COPT_Solve(model) == 16
    assert copt.int_attr(model, "Status") == 0
    assert copt.solve(model)["Status"] == 1


def test_logging_off_still_counts_calls_and_logs_events(standin):
    standin.set_logging(False)
    library = Copt(standin.library_path())
    env = library.create("COPT_CreateEnv")
    assert library.delete("COPT_DeleteEnv", env) == 0
    library.close()
    assert standin.calls() == []
    assert standin.history() == ["load", "unload"]
    assert (standin.count("COPT_CreateEnv"), standin.count("COPT_DeleteEnv"), standin.count("COPT_Solve")) == (1, 1, 0)


def test_discard_mode_reads_no_arrays(copt, model, standin):
    standin.set_discard(True)
    assert copt.COPT_AddCols(model, 3, *[BOGUS] * 9) == 0
    assert copt.COPT_AddRows(model, 2, *[BOGUS] * 8) == 0
    assert copt.COPT_SetColObj(model, 3, BOGUS, BOGUS) == 0
    assert copt.COPT_AddRows(model, -1, *[None] * 8) == 4
    assert copt.COPT_AddCols(None, 1, *[None] * 9) == 3
    assert standin.calls("COPT_AddCols", "COPT_SetColObj")[:2] == [
        ("COPT_AddCols", ("prob1", 3, *[standin.DISCARDED] * 9)),
        ("COPT_SetColObj", ("prob1", 3, standin.DISCARDED, standin.DISCARDED)),
    ]
    view = standin.problem()
    assert view.columns == [standin.Column("", "C", 0.0, 1e30, 0.0)] * 3
    assert view.rows == [standin.Row("", -1e30, 1e30, [])] * 2
    assert copt.solve(model) == {"Status": 1, "HasSol": 1, "IsMIP": 0, "values": [0.0] * 3, "ObjVal": 0.0}


def test_problem_view_and_live_counts(copt, standin):
    config = copt.create("COPT_CreateEnvConfig")
    assert copt.COPT_SetEnvConfig(config, b"Port", b"80") == 0
    env1 = copt.create("COPT_CreateEnvWithConfig", config)
    env2 = copt.create("COPT_CreateEnv")
    prob1 = copt.create("COPT_CreateProb", env1)
    prob2 = copt.create("COPT_CreateProb", env2)
    assert standin.live() == {"configs": 1, "envs": 2, "problems": 2}
    assert copt.add_cols(prob2, types=b"IC", lower=[-1.0, 0.0], upper=[1.0, 1e30], names=[b"a", b"b"]) == 0
    assert copt.add_rows(prob2, [[(1, 2.0), (0, -1.0), (1, 0.5)], []], [-1e30, 0.0], [4.0, 0.0], [b"r", b"s"]) == 0
    copt.set_objective(prob2, [0.0, 1.5], constant=-2.0, sense=-1)
    assert copt.COPT_SetIntParam(prob2, b"Logging", 0) == 0
    assert copt.COPT_SetDblParam(prob2, b"TimeLimit", 2.5) == 0
    assert [view.handle for view in standin.problems()] == ["prob1", "prob2"]
    with pytest.raises(LookupError):
        standin.problem()
    assert standin.problem("prob2") == standin.Problem(
        handle="prob2",
        env="env2",
        columns=[standin.Column("a", "I", -1.0, 1.0, 0.0), standin.Column("b", "C", 0.0, 1e30, 1.5)],
        rows=[standin.Row("r", -1e30, 4.0, [(1, 2.0), (0, -1.0), (1, 0.5)]), standin.Row("s", 0.0, 0.0, [])],
        objective_constant=-2.0,
        objective_sense=-1,
        parameters={"Logging": 0, "TimeLimit": 2.5},
    )
    assert standin.problem("prob1").env == "env1"
    for deleter, handle in (("COPT_DeleteProb", prob1), ("COPT_DeleteProb", prob2), ("COPT_DeleteEnv", env1),
                            ("COPT_DeleteEnv", env2), ("COPT_DeleteEnvConfig", config)):
        assert copt.delete(deleter, handle) == 0
    assert standin.live() == {"configs": 0, "envs": 0, "problems": 0}
    assert standin.problems() == []


def test_reset_clears_controls_log_and_numbering(copt, standin):
    env = copt.create("COPT_CreateEnv")
    standin.fail("COPT_Update", 3)
    standin.set_message(13, None)
    standin.force_result(status=2)
    standin.set_logging(False)
    standin.set_discard(True)
    standin.reset()
    assert (standin.calls(), standin.count("COPT_CreateEnv")) == ([], 0)
    second = copt.create("COPT_CreateEnv")
    assert standin.calls() == [("COPT_CreateEnv", ([None],))]
    env_view, prob = second, copt.create("COPT_CreateProb", second)
    assert standin.problem().env == "env1"
    assert copt.COPT_Update(prob) == 0
    assert copt.COPT_GetRetcodeMsg(13, ctypes.create_string_buffer(8), 8) == 0
    assert copt.COPT_AddCols(prob, 1, *[None] * 9) == 0 and standin.calls()[-1].args[2:] == (None,) * 9
    assert copt.solve(prob)["Status"] == 1
    for deleter, handle in (("COPT_DeleteProb", prob), ("COPT_DeleteEnv", env_view), ("COPT_DeleteEnv", env)):
        assert copt.delete(deleter, handle) == 0
