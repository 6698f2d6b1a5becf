"""Public netlib LPs and MIPLIB 3 MIPs, read by the MPS example, built through the public API and solved to the
published optimum on the stand-in solver."""

import csv
import os
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[1]
DATA = ROOT.parent / "shared" / "data"
sys.path.insert(0, str(ROOT / "examples"))

import solve_mps  # noqa: E402


def instances():
    table = DATA / "optima.tsv"
    if not table.exists():
        if os.environ.get("CI"):
            raise RuntimeError(f"CI needs the public test instances at {DATA}")
        return [pytest.param(None, None, marks=pytest.mark.skip(reason=f"no public test instances at {DATA}"))]
    rows = csv.DictReader((line for line in table.open() if not line.startswith("#")), delimiter="\t")
    return [pytest.param(row["file"], float(row["optimum"]), id=row["instance"]) for row in rows]


@pytest.mark.parametrize("file, optimum", instances())
def test_instance_reaches_the_published_optimum(file, optimum):
    status, objective = solve_mps.solve(str(DATA / file), time_limit=120.0)
    assert status == 1
    assert objective == pytest.approx(optimum, rel=1e-6)
