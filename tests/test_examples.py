"""The example programs run as a user would run them, and solve their models to the known optima."""

import subprocess
import sys
from pathlib import Path

import pytest

from support.workers_or_skip import require_distributed, require_process_pool

EXAMPLES = Path(__file__).resolve().parents[1] / "examples"
SCENARIO_0 = "s0: result code 1, profit 2350.00 (chairs 2.00, tables 12.00, desks 10.00)"
BEST_SCENARIO = "best: s2, profit 2475.00"


def run_example(name: str, *args: str) -> str:
    completed = subprocess.run(
        [sys.executable, str(EXAMPLES / name), *args], capture_output=True, text=True, timeout=300, check=False
    )
    assert completed.returncode == 0, completed.stderr
    return completed.stdout


@pytest.mark.parametrize(
    "name, expected",
    [
        ("production_plan.py", "production plan: result code 1, profit 2350.00"),
        ("knapsack.py", "knapsack: result code 1, value 270, items [0, 1, 3, 4]"),
        ("demo.py", "knapsack (MIP): result code 1, objective 270.0000, items [0, 1, 3, 4]"),
        ("shared_env.py", "week: cost 4120"),
        ("shared_env.py", "Wed: result code 1, 1 vans, 4 trucks, cost 980"),
        ("cluster_config.py", "blend: result code 1, cost 2250.00"),
    ],
)
def test_example_prints_the_known_optimum(name, expected):
    assert expected in run_example(name).splitlines()


def test_mps_example_solves_a_file(tmp_path):
    mps = tmp_path / "tiny.mps"
    mps.write_text(
        "NAME TINY\nROWS\n N COST\n G DEMAND\n L CAP\nCOLUMNS\n"
        "    X COST 2 DEMAND 1\n    X CAP 1\n    Y COST 3 DEMAND 1\nRHS\n    RHS DEMAND 4 CAP 3\n"
        "BOUNDS\n UP BND Y 10\nENDATA\n"
    )
    assert run_example("solve_mps.py", str(mps)).strip() == f"{mps}: result code 1, objective 9.0"


@pytest.mark.parametrize("args, where", [((), "a process pool"), (("--dask",), "a Dask LocalCluster")])
def test_scenarios_example_solves_every_scenario_on_workers(args, where):
    (require_distributed if args else require_process_pool)()
    lines = run_example("scenarios.py", *args).splitlines()
    assert lines[0] == SCENARIO_0
    assert lines[-2:] == [f"8 of 8 scenarios solved on {where}", BEST_SCENARIO]


FIRST_MODELS = {
    "pulp": "pulp: Optimal, profit 2200.00 (chairs 24.00, tables 14.00)",
    "pyomo": "pyomo: convergenceCriteriaSatisfied, profit 2200.00 (chairs 24.00, tables 14.00)",
    "cvxpy": "cvxpy: optimal, profit 2200.00 (chairs 24.00, tables 14.00)",
    "linopy": "linopy: ok optimal, profit 2200.00 (chairs 24.00, tables 14.00)",
    "scipy": "scipy: status 0 (Optimization terminated successfully.), profit 2200.00 (chairs 24.00, tables 14.00)",
}


@pytest.mark.parametrize("layer, expected", FIRST_MODELS.items(), ids=FIRST_MODELS.keys())
def test_layer_example_solves_its_first_model(layer, expected):
    pytest.importorskip(layer)
    assert run_example(f"{layer}_first_model.py").splitlines() == [expected]
