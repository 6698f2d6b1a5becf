"""Before and after in one sitting: runs the module's benchmark cases against two builds, alternating between them
case by case and round by round so that whatever else the machine does falls on both alike, and prints each
phase's minimum and median seconds on both with the ratio after/before.

    python benchmarks/compare.py BEFORE_BUILD AFTER_BUILD [--rounds 5] [--case ARM:MODEL:SIZE ...]

Each build is a development build folder (bash scripts/build.sh makes build/): its module, stand-in and floor
module are used. The floor arm runs no code of the module, so its ratio shows how steady the machine was.
"""

from __future__ import annotations

import argparse
import os
import statistics
from pathlib import Path

from run import run_case

CASES = [("ours", "lp", 1000), ("ours", "long", 2000), ("ours", "mip", 200_000), ("ours", "single", 100_000),
         ("ours_numpy", "lp", 1000), ("e2e_ours", "lp", 500), ("floor", "lp", 1000)]


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("before", type=Path)
    parser.add_argument("after", type=Path)
    parser.add_argument("--rounds", type=int, default=5, help="runs of every case on each build (default 5)")
    parser.add_argument("--case", action="append", dest="cases", metavar="ARM:MODEL:SIZE",
                        help="a case to run instead of the default set (repeatable)")
    options = parser.parse_args()
    cases = CASES
    if options.cases:
        cases = [(arm, kind, int(size)) for arm, kind, size in (case.split(":") for case in options.cases)]
    builds = {"before": options.before.resolve(), "after": options.after.resolve()}
    times: dict[tuple[str, str, int, str, str], list[float]] = {}
    for round_number in range(options.rounds):
        for arm, kind, size in cases:
            # Which build goes first changes every round.
            for label in sorted(builds, reverse=round_number % 2 == 1):
                os.environ["BRENLOX_BUILD_DIR"] = str(builds[label])
                os.environ["BRENLOX_STANDIN"] = str(builds[label] / "standin")
                for phase, seconds in run_case(arm, kind, size, 1)["phases"].items():
                    times.setdefault((arm, kind, size, phase, label), []).extend(seconds)
        print(f"round {round_number + 1} of {options.rounds} done", flush=True)
    print("| arm | model | size | phase | before min s | after min s | min ratio | median ratio |")
    print("|---|---|---|---|---:|---:|---:|---:|")
    for arm, kind, size, phase, label in times:
        if label != "before":
            continue
        before, after = times[(arm, kind, size, phase, "before")], times[(arm, kind, size, phase, "after")]
        print(f"| {arm} | {kind} | {size} | {phase} | {min(before):.4f} | {min(after):.4f} | "
              f"{min(after) / min(before):.3f} | {statistics.median(after) / statistics.median(before):.3f} |")


if __name__ == "__main__":
    main()
