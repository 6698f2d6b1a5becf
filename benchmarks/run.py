"""Builds the same models through every arm, one process per case and several repetitions each, and prints a table
of nanoseconds per nonzero (per variable, per name, per call) with the median and the minimum, then the ratios the
goals are judged by, then the seconds to solve the same models one after the other and on two worker processes, all
measured in this one run.

    python benchmarks/run.py            # the full sizes (classic LP at N = 250, 500, 1000: 0.25M to 4M nonzeros)
    python benchmarks/run.py --smoke    # tiny sizes, every arm, a few seconds (CI: it only has to keep working)
    python benchmarks/run.py --arrays   # only the NumPy input forms, beside lists, highspy's CSR arrays and the floor

Needs a development build (bash scripts/build.sh: the module, the stand-in solver, the floor module and the C++
baseline) and benchmarks/requirements.txt; benchmarks/run.sh does all of it from a clean clone."""

from __future__ import annotations

import argparse
import dataclasses
import datetime
import json
import math
import os
import shlex
import statistics
import subprocess
import sys
from dataclasses import dataclass
from pathlib import Path

import results as result_files
from results import machine

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent

GOAL_ROWS_FLOOR, GOAL_FLAT_FLOOR, GOAL_HIGHSPY, GOAL_SCALING = 1.3, 1.2, 3.0, 1.25
GOAL_SINGLE_NS, GOAL_BATCH, GOAL_MEMORY, GOAL_END_TO_END = 1000.0, 10.0, 2.0, 1.3
PROCESSES_LP = 45
GOAL_ARRAY_FLOOR, GOAL_ARRAY_HIGHSPY, GOAL_ARRAY_LISTS, GOAL_ARRAY_VARS = 1.5, 3.0, 0.5, 1.2


@dataclass(frozen=True)
class Plan:
    lp_sizes: tuple[int, ...]
    long_rows: int
    mip_variables: int
    single_calls: int
    repetitions: int
    processes_lp: int  # the classic LP solved many times over, in one process and on two


FULL = Plan(lp_sizes=(250, 500, 1000), long_rows=2000, mip_variables=200_000, single_calls=100_000, repetitions=5,
            processes_lp=PROCESSES_LP)
SMOKE = Plan(lp_sizes=(3, 5), long_rows=3, mip_variables=10, single_calls=10, repetitions=2, processes_lp=3)
# The array forms' cases: 2-term rows (the classic LP at N = 500: 1M nonzeros) and 50-term rows (1M nonzeros).
ARRAY_CASES = (("lp", 500), ("wide", 20_000))
SMOKE_ARRAY_CASES = (("lp", 3), ("wide", 3))

LIST_ARMS = ("ours", "floor", "highspy_lists", "highspy_numpy")
END_TO_END_ARMS = ("e2e_ours", "e2e_cpp")
NATIVE_ARMS = {"e2e_cpp": [], "standin_discard": ["discard"]}
# The unit each phase's time is divided by.
UNITS = {"vars": "var", "names": "name", "rows": "nnz", "objective": "var", "add_variable": "call",
         "add_constraint": "call", "total": "nnz", "vars_ids": "var", "rows_ids": "nnz", "memcpy": "var",
         "vars_without_bounds": "var", "rows_lists": "nnz", "rows_2d": "nnz", "rows_1d": "nnz", "rows_floor": "nnz",
         "vars_arrays": "var", "vars_floor": "var"}


def build_dir() -> Path:
    return Path(os.environ.get("BRENLOX_BUILD_DIR") or ROOT / "build")


def standin_home() -> Path:
    return Path(os.environ.get("BRENLOX_STANDIN") or build_dir() / "standin")


def run_case(arm: str, kind: str, size: int, repetitions: int) -> dict:
    """One case in a fresh process; its last line of output is its JSON result."""
    if arm in NATIVE_ARMS:
        home = standin_home()
        # A cross build's program runs under the emulator that runs the interpreter (scripts/aarch64-check.sh).
        program = build_dir() / "benchmarks" / "build_problem"
        command = [*shlex.split(os.environ.get("BRENLOX_EMULATOR", "")), str(program), kind, str(size),
                   str(repetitions), str(home / "bin" / "copt.dll"), str(home / "bin" / "libcopt_standin_state.so"),
                   *NATIVE_ARMS[arm]]
    else:
        command = [sys.executable, str(HERE / "case.py"), arm, kind, str(size), str(repetitions)]
    done = subprocess.run(command, capture_output=True, text=True, check=False)
    if done.returncode != 0:
        raise SystemExit(f"benchmark case {arm} {kind} {size} failed ({done.returncode}):\n{done.stderr}")
    return json.loads(done.stdout.strip().splitlines()[-1])


@dataclass
class Measure:
    """One phase of one case, in nanoseconds per unit."""

    median: float
    minimum: float


class Results:
    def __init__(self) -> None:
        self.cases: dict[tuple[str, int, str], dict] = {}
        self.processes: dict | None = None  # the processes case: whole seconds, not per unit

    def add(self, kind: str, size: int, arm: str, result: dict) -> None:
        phases = result.get("phases", {})
        if arm == "standin_discard":
            del phases["objective"]
        if arm in END_TO_END_ARMS:
            phases["total"] = [sum(times) for times in zip(*phases.values())]
        result["phases"] = phases
        self.cases[(kind, size, arm)] = result

    def measure(self, kind: str, size: int, arm: str, phase: str) -> Measure | None:
        case = self.cases.get((kind, size, arm))
        if case is None or phase not in case["phases"]:
            return None
        counts = case["counts"]
        unit = UNITS[phase]
        if kind == "single" and phase == "rows":
            unit = "row"
        per = {"var": counts["vars"], "name": counts["vars"], "nnz": counts["nnz"], "row": counts["rows"],
               "call": counts["rows"]}[unit]
        times = case["phases"][phase]
        return Measure(statistics.median(times) * 1e9 / per, min(times) * 1e9 / per)

    def seconds(self, kind: str, size: int, arm: str, phase: str) -> Measure | None:
        case = self.cases.get((kind, size, arm))
        if case is None or phase not in case["phases"]:
            return None
        times = case["phases"][phase]
        return Measure(statistics.median(times), min(times))

    def rows(self) -> list[dict]:
        """One row per phase of each case: what the table shows and the result file keeps."""
        found = []
        for (kind, size, arm), case in self.cases.items():
            for phase in case.get("phases", {}):
                measure = self.measure(kind, size, arm, phase)
                unit = "row" if kind == "single" and phase == "rows" else UNITS[phase]
                found.append({"model": kind, "size": size, "arm": arm, "phase": phase, "unit": unit,
                              "median_ns": round(measure.median, 1), "min_ns": round(measure.minimum, 1)})
        return found

    def table(self) -> list[str]:
        lines = ["| model | size | arm | phase | unit | median ns | min ns |", "|---|---|---|---|---|---:|---:|"]
        for row in self.rows():
            lines.append(f"| {row['model']} | {row['size']} | {row['arm']} | {row['phase']} | {row['unit']} | "
                         f"{row['median_ns']:.1f} | {row['min_ns']:.1f} |")
        return lines


@dataclass
class Ratio:
    goal: str
    what: str
    median: float
    minimum: float
    met: bool


Terms = list[tuple[float, tuple]]


def combined(results: Results, terms: Terms, per_unit: bool) -> Measure | None:
    """The signed sum of several phases' times (median with medians, minimum with minimums), whole or per unit."""
    measures = [(sign, results.measure(*key) if per_unit else results.seconds(*key)) for sign, key in terms]
    if any(measure is None for _, measure in measures):
        return None
    return Measure(sum(sign * m.median for sign, m in measures), sum(sign * m.minimum for sign, m in measures))


def ratio(results: Results, goal: str, what: str, top: tuple | Terms, bottom: tuple | Terms, limit: float,
          at_most: bool, per_unit: bool = False) -> Ratio | None:
    """top / bottom for the medians and for the minimums, of whole times (the phases of one model) or of times per
    unit (across sizes); judged on the minimums, the figures least disturbed by whatever else the machine runs."""
    upper = combined(results, top if isinstance(top, list) else [(1.0, top)], per_unit)
    lower = combined(results, bottom if isinstance(bottom, list) else [(1.0, bottom)], per_unit)
    if upper is None or lower is None:
        return None
    median, minimum = upper.median / lower.median, upper.minimum / lower.minimum
    return Ratio(goal, what, median, minimum, minimum <= limit if at_most else minimum >= limit)


def ratios(results: Results, plan: Plan) -> list[Ratio]:
    found: list[Ratio | None] = []
    datasets = [("lp", n) for n in plan.lp_sizes] + [("long", plan.long_rows)]
    for kind, size, phase in [(kind, size, "rows") for kind, size in datasets] + [
            ("lp", n, "vars") for n in plan.lp_sizes]:
        goal = (f"rows within {GOAL_ROWS_FLOOR}x of the floor" if phase == "rows"
                else f"flat lists within {GOAL_FLAT_FLOOR}x of the floor")
        limit = GOAL_ROWS_FLOOR if phase == "rows" else GOAL_FLAT_FLOOR
        ours, floor = (kind, size, "ours", phase), (kind, size, "floor", phase)
        binding = [(1.0, ours), (-1.0, (kind, size, "standin_discard", phase))]
        with_ids = [(1.0, floor), (1.0, (kind, size, "floor", f"{phase}_ids"))]
        found.append(ratio(results, goal, f"{kind} {size} {phase}: ours / floor", ours, floor, limit, True))
        found.append(ratio(results, goal, f"{kind} {size} {phase}: (ours - stand-in) / floor", binding, floor, limit,
                           True))
        found.append(ratio(results, goal, f"{kind} {size} {phase}: (ours - stand-in) / (floor + id list)", binding,
                           with_ids, limit, True))
    for phase in ("vars", "names"):
        size = plan.mip_variables
        found.append(ratio(results, f"flat lists within {GOAL_FLAT_FLOOR}x of the floor",
                           f"mip {size} {phase}: ours / floor", ("mip", size, "ours", phase),
                           ("mip", size, "floor", phase), GOAL_FLAT_FLOOR, True))
    for kind, size in datasets + [("mip", plan.mip_variables)]:
        found.append(ratio(results, f"at least {GOAL_HIGHSPY}x faster than highspy's lists",
                           f"{kind} {size} rows: highspy lists / ours", (kind, size, "highspy_lists", "rows"),
                           (kind, size, "ours", "rows"), GOAL_HIGHSPY, False))
        found.append(ratio(results, "plain lists faster than highspy's NumPy", f"{kind} {size} rows: highspy NumPy / ours",
                           (kind, size, "highspy_numpy", "rows"), (kind, size, "ours", "rows"), 1.0, False))
    smallest, largest = min(plan.lp_sizes), max(plan.lp_sizes)
    found.append(ratio(results, f"linear scaling within {GOAL_SCALING}x", f"lp rows ns/nnz: N={largest} / N={smallest}",
                       ("lp", largest, "ours", "rows"), ("lp", smallest, "ours", "rows"), GOAL_SCALING, True,
                       per_unit=True))
    single = plan.single_calls
    for phase in ("add_variable", "add_constraint"):
        measure = results.measure("single", single, "ours", phase)
        if measure is not None:
            found.append(Ratio(f"single-item call under {GOAL_SINGLE_NS:.0f} ns", f"{phase}(): ns per call",
                               measure.median, measure.minimum, measure.minimum < GOAL_SINGLE_NS))
    found.append(ratio(results, f"batch at least {GOAL_BATCH}x faster per row", "loop of add_constraint / batch, per row",
                       ("single", single, "ours", "add_constraint"), ("single", single, "ours", "rows"),
                       GOAL_BATCH, False))
    for kind, size in datasets:
        native = (kind, size, "e2e_cpp", "total")
        found.append(ratio(results, f"end to end within {GOAL_END_TO_END}x of C++", f"{kind} {size}: ours / C++",
                           (kind, size, "e2e_ours", "total"), native, GOAL_END_TO_END, True))
        # Reading the lists alone, added to the C++ program's work: what a binding with no cost of its own would get.
        reading = [(1.0, native), (1.0, (kind, size, "floor", "vars")), (1.0, (kind, size, "floor", "rows"))]
        bound = ratio(results, f"end to end within {GOAL_END_TO_END}x of C++",
                      f"{kind} {size}: bound for any list binding, (C++ + floor) / C++", reading, native,
                      GOAL_END_TO_END, True)
        if bound is not None:
            found.append(bound)
    found.extend(memory_ratios(results, largest))
    for n in plan.lp_sizes:
        arrays, memcpy = ("lp", n, "ours_numpy", "vars"), ("lp", n, "ours_numpy", "memcpy")
        found.append(ratio(results, "NumPy within 2x of memcpy", f"lp {n} bounds as float64 arrays: ours / memcpy",
                           arrays, memcpy, 2.0, True))
        found.append(ratio(results, "NumPy within 2x of memcpy",
                           f"lp {n}: (ours - the same call without bounds) / memcpy",
                           [(1.0, arrays), (-1.0, ("lp", n, "ours_numpy", "vars_without_bounds"))], memcpy, 2.0, True))
    return [item for item in found if item is not None]


def array_ratios(results: Results, cases: tuple[tuple[str, int], ...]) -> list[Ratio]:
    """The array forms' goals: rows from 2-D arrays against the floor, highspy's CSR arrays and lists; lists of 1-D
    arrays against lists of lists; bounds from arrays against the floor."""
    found: list[Ratio | None] = []
    (short, short_size), (wide, wide_size) = cases
    standin_rows = (-1.0, (short, short_size, "standin_discard", "rows"))
    standin_vars = (-1.0, (short, short_size, "standin_discard", "vars"))

    def phase(kind: str, size: int, name: str) -> tuple:
        return (kind, size, "arrays", name)

    found.append(ratio(results, f"2-D arrays within {GOAL_ARRAY_FLOOR}x of the array floor",
                       f"{short} {short_size} 2-term rows: (2-D - stand-in) / floor",
                       [(1.0, phase(short, short_size, "rows_2d")), standin_rows],
                       phase(short, short_size, "rows_floor"), GOAL_ARRAY_FLOOR, True))
    found.append(ratio(results, f"2-D arrays at most {GOAL_ARRAY_HIGHSPY}x highspy's CSR arrays",
                       f"{wide} {wide_size} 50-term rows: 2-D / highspy NumPy", phase(wide, wide_size, "rows_2d"),
                       (wide, wide_size, "highspy_numpy", "rows"), GOAL_ARRAY_HIGHSPY, True))
    found.append(ratio(results, f"2-D arrays at most {GOAL_ARRAY_LISTS}x the lists",
                       f"{short} {short_size} 2-term rows: 2-D / lists", phase(short, short_size, "rows_2d"),
                       phase(short, short_size, "rows_lists"), GOAL_ARRAY_LISTS, True))
    for kind, size in cases:
        found.append(ratio(results, "lists of 1-D arrays no slower than lists of lists",
                           f"{kind} {size} rows: lists of 1-D arrays / lists", phase(kind, size, "rows_1d"),
                           phase(kind, size, "rows_lists"), 1.0, True))
    found.append(ratio(results, f"bounds from arrays within {GOAL_ARRAY_VARS}x of the floor",
                       f"{short} {short_size} add_variables: (arrays - stand-in) / floor",
                       [(1.0, phase(short, short_size, "vars_arrays")), standin_vars],
                       phase(short, short_size, "vars_floor"), GOAL_ARRAY_VARS, True))
    return [item for item in found if item is not None]


def run_arrays(cases: tuple[tuple[str, int], ...], repetitions: int, progress) -> Results:
    results = Results()
    (short, short_size), _ = cases
    plan = [(arm, kind, size) for kind, size in cases for arm in ("arrays", "highspy_numpy")]
    plan.append(("standin_discard", short, short_size))
    for arm, kind, size in plan:
        progress(f"{kind} {size}: {arm}")
        results.add(kind, size, arm, run_case(arm, kind, size, repetitions))
    return results


def row_array_bytes(rows: int, nnz: int) -> int:
    """What add_constraints hands to the solver for default names: starts, counts, column indices, values, both
    bounds, and the names ("c{id}" in fixed-width slots) with their pointers."""
    name_slot = 2 + len(str(max(rows - 1, 0)))
    return 12 * nnz + 24 * rows + rows * (name_slot + 8)


def memory_ratios(results: Results, size: int) -> list[Ratio]:
    """The module's own peak: the whole process's peak during the call less what the stand-in keeps in its discard
    mode for the same rows (measured around the same call from C++)."""
    case = results.cases.get(("lp", size, "memory"))
    standin = results.cases.get(("lp", size, "standin_discard"))
    if case is None or standin is None:
        return []
    nnz, rows = case["counts"]["nnz"], case["counts"]["rows"]
    standin_bytes = statistics.median(standin["rows_peak_bytes"])
    peaks = sorted(peak - standin_bytes for peak in case["peak_bytes"])
    peak, lowest = statistics.median(peaks), peaks[0]
    arrays = row_array_bytes(rows, nnz)
    id_list = statistics.median(case["id_list_bytes"])
    return [
        Ratio("peak extra memory (bytes per nonzero; the row arrays alone: 12)",
              f"lp {size}: (peak - stand-in's {standin_bytes / rows:.0f} bytes per row) / nnz", peak / nnz,
              lowest / nnz, lowest <= GOAL_MEMORY * arrays),
        Ratio(f"peak extra memory at most {GOAL_MEMORY}x the arrays built",
              f"lp {size}: (peak - stand-in) / {arrays / nnz:.1f} bytes per nnz of arrays", peak / arrays,
              lowest / arrays, lowest <= GOAL_MEMORY * arrays),
        Ratio("(for reference) the returned id list, bytes per nonzero", f"lp {size}: resident after / nnz",
              id_list / nnz, min(case["id_list_bytes"]) / nnz, True),
    ]


def ratio_table(found: list[Ratio]) -> list[str]:
    lines = ["| goal | measured | median | min | met |", "|---|---|---:|---:|---|"]
    for item in found:
        met = "n/a" if math.isnan(item.median) else ("yes" if item.met else "NO")
        lines.append(f"| {item.goal} | {item.what} | {item.median:.2f} | {item.minimum:.2f} | {met} |")
    return lines


def run(plan: Plan, progress) -> Results:
    results = Results()
    cases: list[tuple[str, str, int]] = []
    for n in plan.lp_sizes:
        cases += [(arm, "lp", n) for arm in LIST_ARMS + END_TO_END_ARMS + ("standin_discard", "ours_numpy")]
    cases += [(arm, "long", plan.long_rows) for arm in LIST_ARMS + END_TO_END_ARMS + ("standin_discard",)]
    cases += [(arm, "mip", plan.mip_variables) for arm in LIST_ARMS]
    cases += [(arm, "single", plan.single_calls) for arm in ("ours", "highspy_lists")]
    cases.append(("memory", "lp", max(plan.lp_sizes)))
    for arm, kind, size in cases:
        progress(f"{kind} {size}: {arm}")
        results.add(kind, size, arm, run_case(arm, kind, size, plan.repetitions))
    progress(f"lp {plan.processes_lp}: processes")
    results.processes = run_case("processes", "lp", plan.processes_lp, plan.repetitions)
    for kind, size in [("lp", n) for n in plan.lp_sizes] + [("long", plan.long_rows)]:
        ours, native = results.cases[(kind, size, "e2e_ours")], results.cases[(kind, size, "e2e_cpp")]
        if not math.isclose(ours["checksum"], native["checksum"], rel_tol=1e-12) or ours["counts"] != native["counts"]:
            raise SystemExit(f"the C++ baseline built another {kind} {size} problem than the Python lists")
    return results


def processes_table(case: dict, size: int) -> list[str]:
    """Whole seconds for all the models one after the other and on two worker processes, and their ratio."""
    sequential, two = case["phases"]["sequential"], case["phases"]["two_processes"]
    each = f"lp {size}: {case['counts']['vars']} variables, {case['counts']['nnz']} nonzeros"
    lines = ["| models | each model | over repetitions | sequential s | 2 processes s | speed-up |",
             "|---|---|---|---:|---:|---:|"]
    for what, pick in (("median", statistics.median), ("min", min)):
        lines.append(f"| {case['models']} | {each} | {what} | {pick(sequential):.3f} | {pick(two):.3f} | "
                     f"{pick(sequential) / pick(two):.2f} |")
    return lines


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--smoke", action="store_true", help="tiny sizes and two repetitions (checks nothing)")
    parser.add_argument("--arrays", action="store_true", help="only the NumPy input forms (with --smoke: tiny)")
    parser.add_argument("--repetitions", type=int, help="repetitions per case (default 5, smoke 2)")
    parser.add_argument("--write", type=Path, help="also write the report as Markdown to this file")
    parser.add_argument("--results", type=Path, help="also write the table's rows as JSON to this file "
                        "(benchmarks/results/run.json, or arrays.json with --arrays, feed the site's figures)")
    arguments = parser.parse_args()
    plan = SMOKE if arguments.smoke else FULL
    if arguments.repetitions:
        plan = dataclasses.replace(plan, repetitions=arguments.repetitions)
    progress = lambda text: print(f"  running {text}", file=sys.stderr, flush=True)  # noqa: E731
    if arguments.arrays:
        cases = SMOKE_ARRAY_CASES if arguments.smoke else ARRAY_CASES
        results = run_arrays(cases, plan.repetitions, progress)
        print("\n".join([
            "## NumPy input forms (nanoseconds per unit, median and minimum; one process per case)",
            "",
            "Arm `arrays`: `rows_lists` from lists of lists, `rows_2d` from an int64 and a float64 2-D array, `rows_1d` "
            "from lists of 1-D arrays sliced from compressed rows, `vars_arrays` the bounds as float64 arrays; "
            "`*_floor` copy the same arrays and make the id list and the generated names; `standin_discard` is the "
            "stand-in's own share, from C++. Every call runs beside a fresh model of its own, made untimed just "
            "before it, and each phase's repetitions run one after another.",
            "",
            *results.table(),
            "",
            *ratio_table(array_ratios(results, cases)),
        ]))
        if arguments.results:
            result_files.write(arguments.results, results.rows())
        return
    results = run(plan, progress)
    report = [
        "## Nanoseconds per unit (median and minimum over the repetitions; one process per case)",
        "",
        "Arms: `ours` is the module with the stand-in in its discard mode (it takes the arrays and keeps none of "
        "them); `standin_discard` is the stand-in's own share of that, the same calls made by a C++ program; "
        "`floor` reads the same lists into C++ vectors and nothing else (`*_ids` phases: building the list of ids "
        "the module returns, which the floor does not); `e2e_*` build the problem on the stand-in that stores it.",
        "",
        *results.table(),
        "",
        "## Goals",
        "",
        "Ratios of medians and of minimums, judged on the minimums (the runs least disturbed by other work).",
        "",
        *ratio_table(ratios(results, plan)),
        "",
        "## Many models at once",
        "",
        "The same models built and solved one after the other in one process, then on a pool of two worker "
        f"processes (its start included); two processes can at best halve the time ({os.cpu_count()} cores here).",
        "",
        *processes_table(results.processes, plan.processes_lp),
    ]
    print("\n".join(report))
    if arguments.results:
        result_files.write(arguments.results, results.rows())
    if arguments.write:
        command = "python benchmarks/run.py" + (" --smoke" if arguments.smoke else "")
        header = [
            "# Benchmark results",
            "",
            f"Measured {datetime.date.today().isoformat()} on {machine()}, {plan.repetitions} repetitions per case,",
            f"with `{command}` (`bash benchmarks/run.sh` sets everything up first).",
            "",
        ]
        arguments.write.write_text("\n".join(header + report) + "\n")


if __name__ == "__main__":
    main()
