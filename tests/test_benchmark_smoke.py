"""The benchmark command at its smoke size: every arm runs end to end on the stand-in and the report carries its
table, every goal's ratio and the many-models figures. Nothing about speed is checked."""

import json
import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[1]

ARMS = {
    "lp": {"ours", "ours_numpy", "floor", "highspy_lists", "highspy_numpy", "e2e_ours", "e2e_cpp", "standin_discard"},
    "long": {"ours", "floor", "highspy_lists", "highspy_numpy", "e2e_ours", "e2e_cpp", "standin_discard"},
    "mip": {"ours", "floor", "highspy_lists", "highspy_numpy"},
    "single": {"ours", "highspy_lists"},
}
GOALS = {
    "rows within 1.3x of the floor",
    "flat lists within 1.2x of the floor",
    "at least 3.0x faster than highspy's lists",
    "plain lists faster than highspy's NumPy",
    "linear scaling within 1.25x",
    "single-item call under 1000 ns",
    "batch at least 10.0x faster per row",
    "end to end within 1.3x of C++",
    "peak extra memory (bytes per nonzero; the row arrays alone: 12)",
    "peak extra memory at most 2.0x the arrays built",
    "NumPy within 2x of memcpy",
    "(for reference) the returned id list, bytes per nonzero",
}


def cells(line: str) -> list[str]:
    return [cell.strip() for cell in line.strip().strip("|").split("|")]


@pytest.mark.skipif(sys.platform == "win32", reason="the benchmarks compare against highspy and a C++ program "
                    "built on Linux")
def test_smoke_run_reports_every_arm_and_goal(tmp_path):
    report, results = tmp_path / "RESULTS.md", tmp_path / "results" / "run.json"
    done = subprocess.run(
        [sys.executable, str(ROOT / "benchmarks" / "run.py"), "--smoke", "--write", str(report), "--results",
         str(results)],
        capture_output=True,
        text=True,
        timeout=900,
        check=False,
    )
    assert done.returncode == 0, done.stderr
    table, rest = done.stdout.split("## Goals")
    goals, processes = rest.split("## Many models at once")
    arms_seen: dict[str, set[str]] = {}
    printed = [cells(line) for line in table.splitlines() if line.startswith("| ") and not line.startswith("| model")]
    # The result file (what the site's figures are drawn from) holds the printed table's rows, nothing else.
    assert [[row["model"], str(row["size"]), row["arm"], row["phase"], row["unit"], f"{row['median_ns']:.1f}",
             f"{row['min_ns']:.1f}"] for row in json.loads(results.read_text())["rows"]] == printed
    for line in table.splitlines():
        if line.startswith("| ") and not line.startswith("| model"):
            kind, _size, arm, _phase, _unit, median, minimum = cells(line)
            arms_seen.setdefault(kind, set()).add(arm)
            assert float(median) > 0 and float(minimum) > 0, line
    assert arms_seen == ARMS
    assert {cells(line)[0] for line in goals.splitlines() if line.startswith("| ")} - {"goal"} == GOALS
    rows = [cells(line) for line in processes.splitlines() if line.startswith("| ") and not line.startswith("| models")]
    assert [row[2] for row in rows] == ["median", "min"]
    for _models, _each, _what, sequential, two, speed_up in rows:
        assert float(sequential) > 0 and float(two) > 0 and float(speed_up) >= 0
    assert report.read_text().endswith(done.stdout)


ARRAY_PHASES = {
    ("lp", "arrays"): {"rows_lists", "rows_2d", "rows_1d", "rows_floor", "vars_arrays", "vars_floor"},
    ("wide", "arrays"): {"rows_lists", "rows_2d", "rows_1d", "rows_floor", "vars_arrays", "vars_floor"},
    ("lp", "highspy_numpy"): {"vars", "rows"},
    ("wide", "highspy_numpy"): {"vars", "rows"},
    ("lp", "standin_discard"): {"vars", "rows"},
}
ARRAY_GOALS = {
    "2-D arrays within 1.5x of the array floor",
    "2-D arrays at most 3.0x highspy's CSR arrays",
    "2-D arrays at most 0.5x the lists",
    "lists of 1-D arrays no slower than lists of lists",
    "bounds from arrays within 1.2x of the floor",
}


@pytest.mark.skipif(sys.platform == "win32", reason="the benchmarks compare against highspy and a C++ program "
                    "built on Linux")
def test_array_smoke_run_reports_every_phase_and_goal():
    done = subprocess.run([sys.executable, str(ROOT / "benchmarks" / "run.py"), "--arrays", "--smoke"],
                          capture_output=True, text=True, timeout=900, check=False)
    assert done.returncode == 0, done.stderr
    phases: dict[tuple[str, str], set[str]] = {}
    goals: set[str] = set()
    for line in done.stdout.splitlines():
        row = cells(line) if line.startswith("| ") else []
        if len(row) == 7 and row[0] != "model":
            kind, _size, arm, phase, _unit, median, minimum = row
            phases.setdefault((kind, arm), set()).add(phase)
            assert float(median) > 0 and float(minimum) > 0, line
        elif len(row) == 5 and row[0] != "goal":
            goals.add(row[0])
            assert row[4] in ("yes", "NO"), line
    assert phases == ARRAY_PHASES
    assert goals == ARRAY_GOALS
