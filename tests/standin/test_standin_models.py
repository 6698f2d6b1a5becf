"""The stand-in's engine on models with known optima, infeasible and unbounded ones, and a time-limited MIP."""

import ctypes
import ctypes.util
import math
import random
import sys

import pytest

INF = 1e30
OPTIMAL, INFEASIBLE, UNBOUNDED, INFEASIBLE_OR_UNBOUNDED, TIME_LIMIT = 1, 2, 3, 4, 8
NO_SOLUTION = 13


def assert_close(actual, expected):
    assert actual == pytest.approx(expected, rel=1e-6, abs=1e-9)


def test_wyndor_glass_lp(copt, model):
    # Hillier and Lieberman's Wyndor Glass problem: maximum 36 at (2, 6).
    assert copt.add_cols(model, types=b"CC") == 0
    assert copt.add_rows(model, [[(0, 1.0)], [(1, 2.0)], [(0, 3.0), (1, 2.0)]], [-INF] * 3, [4.0, 12.0, 18.0]) == 0
    copt.set_objective(model, [3.0, 5.0], sense=-1)
    result = copt.solve(model)
    assert (result["Status"], result["HasSol"], result["IsMIP"]) == (OPTIMAL, 1, 0)
    assert_close(result["ObjVal"], 36.0)
    assert_close(result["values"][0], 2.0)
    assert_close(result["values"][1], 6.0)


def test_minimum_with_constant_and_bounds_beyond_infinity(copt, model):
    # min 2x + 3y + 10 with x + y >= 4, x + 3y >= 6: 19 at (3, 1); upper bounds of 1e40 mean none.
    assert copt.add_cols(model, lower=[0.0, 0.0], upper=[1e40, INF]) == 0
    assert copt.add_rows(model, [[(0, 1.0), (1, 1.0)], [(0, 1.0), (1, 3.0)]], [4.0, 6.0], [INF, 1e35]) == 0
    copt.set_objective(model, [2.0, 3.0], constant=10.0)
    result = copt.solve(model)
    assert result["Status"] == OPTIMAL
    assert_close(result["ObjVal"], 19.0)
    assert_close(result["values"][1], 1.0)


def test_free_variable_and_repeated_entries_summed(copt, model):
    # min x with x free and the row x + x >= -3 (two entries for one column): -1.5.
    assert copt.add_cols(model, lower=[-INF], upper=[INF]) == 0
    assert copt.add_rows(model, [[(0, 1.0), (0, 1.0)]], [-3.0], [INF]) == 0
    copt.set_objective(model, [1.0])
    assert_close(copt.solve(model)["ObjVal"], -1.5)


@pytest.mark.parametrize(
    ("types", "rows", "upper", "costs", "objective"),
    [
        # 0-1 knapsack, weights 10/20/30, capacity 50: 220 (items 2 and 3).
        (b"BBB", [[(0, 10.0), (1, 20.0), (2, 30.0)]], [50.0], [60.0, 100.0, 120.0], 220.0),
        # max y with -x + y <= 1, 3x + 2y <= 12, 2x + 3y <= 12: 2 for integers, 2.8 for the relaxation.
        (b"II", [[(0, -1.0), (1, 1.0)], [(0, 3.0), (1, 2.0)], [(0, 2.0), (1, 3.0)]], [1.0, 12.0, 12.0], [0.0, 1.0], 2.0),
    ],
)
def test_mip_optimum(copt, model, types, rows, upper, costs, objective):
    assert copt.add_cols(model, types=types) == 0
    assert copt.add_rows(model, rows, [-INF] * len(rows), upper) == 0
    copt.set_objective(model, costs, sense=-1)
    result = copt.solve(model)
    assert (result["Status"], result["HasSol"], result["IsMIP"]) == (OPTIMAL, 1, 1)
    assert_close(result["ObjVal"], objective)
    assert all(value == pytest.approx(round(value), abs=1e-6) for value in result["values"])


@pytest.mark.parametrize(("types", "lower", "upper", "best"), [(b"I", 0.5, 2.5, 2.0), (b"B", -3.0, 7.0, 1.0)])
def test_integer_bounds_rounded_inwards(copt, model, types, lower, upper, best):
    assert copt.add_cols(model, types=types, lower=[lower], upper=[upper]) == 0
    copt.set_objective(model, [1.0], sense=-1)
    assert_close(copt.solve(model)["ObjVal"], best)


def test_model_without_columns_is_solved_to_its_constant(copt, model):
    copt.set_objective(model, [], constant=4.25)
    result = copt.solve(model)
    assert result == {"Status": OPTIMAL, "HasSol": 1, "IsMIP": 0, "values": [], "ObjVal": 4.25}


@pytest.mark.parametrize(
    ("types", "columns", "rows", "sense", "status"),
    [
        (b"CC", ([0.0, 0.0], [INF, INF]), ([[(0, 1.0), (1, 1.0)]] * 2, [-INF, 2.0], [1.0, INF]), 1, INFEASIBLE),
        (b"II", ([0.0, 0.0], [INF, INF]), ([[(0, 2.0), (1, 2.0)]], [1.0], [1.0]), 1, INFEASIBLE),
        (b"C", ([5.0], [1.0]), ([], [], []), 1, INFEASIBLE),
        (b"C", ([INF], [INF]), ([], [], []), 1, INFEASIBLE),
        (b"C", ([0.0], [INF]), ([[(0, 1.0)]], [3.0], [2.0]), 1, INFEASIBLE),
        (b"CC", ([0.0, 0.0], [INF, INF]), ([[(0, 1.0), (1, -1.0)]], [-INF], [1.0]), -1, UNBOUNDED),
        (b"IC", ([0.0, 0.0], [INF, INF]), ([[(0, 1.0), (1, -1.0)]], [-INF], [1.0]), -1, INFEASIBLE_OR_UNBOUNDED),
    ],
    ids=["lp", "mip", "column-bounds", "infinite-lower-bound", "row-bounds", "unbounded-lp", "unbounded-mip"],
)
def test_no_solution(copt, model, types, columns, rows, sense, status):
    assert copt.add_cols(model, types=types, lower=columns[0], upper=columns[1]) == 0
    assert copt.add_rows(model, *rows) == 0
    copt.set_objective(model, [1.0] * len(types), sense=sense)
    assert copt.solve(model) == {"Status": status, "HasSol": 0, "IsMIP": int(types != b"C" * len(types))}
    assert copt.COPT_GetSolution(model, (ctypes.c_double * len(types))()) == NO_SOLUTION
    assert copt.COPT_GetDblAttr(model, b"ObjVal", ctypes.byref(ctypes.c_double())) == NO_SOLUTION


def market_split(rows: int, seed: int):
    """Cornuejols and Dawande's market split instances: hard for branch and bound at any size."""
    generator = random.Random(seed)
    columns = 10 * (rows - 1)
    matrix = [[generator.randint(0, 99) for _ in range(columns)] for _ in range(rows)]
    return matrix, [sum(row) // 2 for row in matrix]


def test_time_limit_stops_a_hard_mip(copt, model):
    # min the total deviation from Ax = d over binary x, with a deviation pair per row.
    matrix, targets = market_split(6, seed=7)
    columns = len(matrix[0])
    assert copt.add_cols(model, types=b"B" * columns + b"C" * 2 * len(matrix)) == 0
    rows = [
        [(j, float(a)) for j, a in enumerate(row)] + [(columns + 2 * i, 1.0), (columns + 2 * i + 1, -1.0)]
        for i, row in enumerate(matrix)
    ]
    assert copt.add_rows(model, rows, [float(d) for d in targets], [float(d) for d in targets]) == 0
    copt.set_objective(model, [0.0] * columns + [1.0] * 2 * len(matrix))
    assert copt.COPT_SetDblParam(model, b"TimeLimit", 0.5) == 0
    result = copt.solve(model)
    solving_time = ctypes.c_double()
    assert copt.COPT_GetDblAttr(model, b"SolvingTime", ctypes.byref(solving_time)) == 0
    assert result["Status"] == TIME_LIMIT
    assert 0.4 <= solving_time.value < 10.0
    if result["HasSol"]:
        assert result["ObjVal"] >= 0.0 and len(result["values"]) == columns + 2 * len(matrix)


@pytest.mark.skipif(sys.platform == "win32", reason="GLPK writes through msvcrt.dll's stdout, which pytest's capture "
                    "(in the interpreter's own C runtime) cannot redirect")
@pytest.mark.parametrize("logging", [0, 1])
def test_engine_log_only_with_logging(copt, model, capfd, logging):
    assert copt.add_cols(model, types=b"C") == 0
    assert copt.COPT_SetIntParam(model, b"Logging", logging) == 0
    capfd.readouterr()
    copt.solve(model)
    output = capfd.readouterr().out
    assert ("obj =" in output) if logging else output == ""


def test_edit_after_solve_clears_the_result(copt, model):
    assert copt.add_cols(model, types=b"C", upper=[2.0]) == 0
    copt.set_objective(model, [1.0], sense=-1)
    assert copt.solve(model)["HasSol"] == 1
    assert copt.COPT_SetObjConst(model, 1.0) == 0
    assert copt.int_attr(model, "Status") == 0
    assert copt.int_attr(model, "HasSol") == 0
    assert math.isclose(copt.solve(model)["ObjVal"], 3.0)


@pytest.mark.skipif(sys.platform == "win32", reason="the Windows stand-in holds GLPK statically: no GLPK is shared")
def test_solve_leaves_the_processes_own_glpk_alone(copt, model):
    # GLPK's environment is shared by every user of libglpk in the process: a solve must not free or reconfigure it.
    glpk = ctypes.CDLL(ctypes.util.find_library("glpk"))
    glpk.glp_create_prob.restype = ctypes.c_void_p
    glpk.glp_get_num_cols.argtypes = glpk.glp_delete_prob.argtypes = [ctypes.c_void_p]
    glpk.glp_add_cols.argtypes = [ctypes.c_void_p, ctypes.c_int]
    own = glpk.glp_create_prob()
    glpk.glp_add_cols(own, 3)
    assert glpk.glp_term_out(1) == 1
    assert copt.add_cols(model, types=b"I") == 0
    assert copt.solve(model)["Status"] == 1
    assert glpk.glp_get_num_cols(own) == 3
    assert glpk.glp_term_out(1) == 1
    glpk.glp_delete_prob(own)
