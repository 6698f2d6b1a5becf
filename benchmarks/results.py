"""The benchmarks' result files: the rows a run prints, as JSON, with when, where and how it ran. The documentation
site draws its figures from them (docs/_ext/benchmark_figures.py); benchmarks/results/ holds this machine's."""

from __future__ import annotations

import datetime
import json
import os
import platform
import shlex
import sys
from pathlib import Path


def machine() -> str:
    cpu = platform.processor() or platform.machine()
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    try:
        from importlib.metadata import version

        highspy = version("highspy")
    except Exception:  # noqa: BLE001 - only for the report
        highspy = "not installed"
    return (f"{cpu}, {os.cpu_count()} cores; {platform.system()} {platform.release()}; "
            f"Python {platform.python_version()}; highspy {highspy}")


def write(path: Path, rows: list[dict]) -> None:
    """Writes the rows (one dict per printed row, the same keys in each) with the run's command, date and machine."""
    record = {
        "command": shlex.join(["python", *sys.argv]),
        "date": datetime.date.today().isoformat(),
        "machine": machine(),
        "rows": rows,
    }
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text(dumps(record), encoding="utf-8")


def dumps(record: dict) -> str:
    """JSON with one row a line, so that a new run's changes read as a diff of rows."""
    head = ",\n".join(f" {json.dumps(key)}: {json.dumps(value)}" for key, value in record.items() if key != "rows")
    rows = ",\n".join(f"  {json.dumps(row)}" for row in record["rows"])
    return f"{{\n{head},\n \"rows\": [\n{rows}\n ]\n}}\n"
