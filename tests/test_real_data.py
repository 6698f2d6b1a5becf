"""Public netlib LPs and MIPLIB 3 MIPs, read by the MPS example, built through the public API and solved to the
published optimum on the stand-in solver. The instances, their optima and sources are kept in tests/data."""

import csv
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[1]
DATA = ROOT / "tests" / "data"
sys.path.insert(0, str(ROOT / "examples"))

import solve_mps  # noqa: E402


def instances():
    with (DATA / "optima.tsv").open(encoding="ascii") as table:
        rows = list(csv.DictReader((line for line in table if not line.startswith("#")), delimiter="\t"))
    return [pytest.param(row["file"], float(row["optimum"]), id=row["instance"]) for row in rows]


@pytest.mark.parametrize("file, optimum", instances())
def test_instance_reaches_the_published_optimum(file, optimum):
    status, objective = solve_mps.solve(str(DATA / file), time_limit=120.0)
    assert status == 1
    assert objective == pytest.approx(optimum, rel=1e-6)
