"""One benchmark case in its own process: builds one model's input lists, runs one arm on them for several
repetitions and prints the seconds of each timed phase as JSON on its last line of output.

    python benchmarks/case.py <arm> <model> <size> <repetitions>

Arms: ours (the module, stand-in in its discard mode: the binding's own cost), ours_numpy (the same with the bounds
as NumPy arrays, beside a memcpy of their bytes), arrays (the rows from lists, from 2-D arrays and from lists of 1-D
arrays, and the bounds from arrays, beside the array floor), floor (the conversion floor),
highspy_lists, highspy_numpy, e2e_ours (the module on the stand-in that stores the problem), memory (peak extra
memory of one add_constraints call), processes (MANY_MODELS models of the given size built and solved one after the
other in this process, then on a pool of two worker processes, the pool's start included)."""

from __future__ import annotations

import concurrent.futures
import ctypes
import gc
import itertools
import json
import os
import sys
import time
import tracemalloc
from collections.abc import Callable
from dataclasses import dataclass
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
sys.path.insert(0, str(HERE.parent / "tests"))

import models  # noqa: E402


def timed(call: Callable[[], object]) -> float:
    gc.collect()
    gc.disable()
    try:
        start = time.perf_counter()
        call()
        return time.perf_counter() - start
    finally:
        gc.enable()


@dataclass
class OnOwnModel:
    """A phase timed beside a model of its own, made (untimed) just before it and dropped right after: the stand-in's
    share is then what it costs on a fresh model whatever phases ran before, and a floor given the same model runs
    with memory in the same state."""

    make: Callable[[], object]
    run: Callable[[object], object]


Phase = Callable[[], object] | OnOwnModel


def run_phase(phase: Phase) -> float:
    if not isinstance(phase, OnOwnModel):
        return timed(phase)
    target = phase.make()
    try:
        return timed(lambda: phase.run(target))
    finally:
        del target


def repeat(repetitions: int, phases: Callable[[], dict[str, Phase]], by_phase: bool = False) -> dict[str, list[float]]:
    """Runs the phases `repetitions` times, each time on fresh objects made by `phases()` (not timed): in order, or
    with `by_phase` each phase's repetitions one after another, so that every phase is timed with memory in its own
    steady state rather than in whatever state the phase before it left."""
    times: dict[str, list[float]] = {}
    if by_phase:
        for name in phases():
            times[name] = [run_phase(phases()[name]) for _ in range(repetitions)]
        return times
    for _ in range(repetitions):
        for name, phase in phases().items():
            times.setdefault(name, []).append(run_phase(phase))
    return times


def use_built_module() -> None:
    """Imports brenlox_copt from the build the other arms use (the one benchmarks/run.sh installs), when it is there."""
    folder = build_dir() / "src" / "python"
    if any(folder.glob("brenlox_copt*.so")):
        sys.path.insert(0, str(folder))


def standin(discard: bool):
    from support import standin as controls

    controls.load_state()
    os.environ["COPT_HOME"] = str(controls.home())
    controls.reset()
    controls.set_logging(False)
    controls.set_discard(discard)
    use_built_module()
    return controls


def ours(model: models.Model, kind: str, repetitions: int, discard: bool = True) -> dict[str, list[float]]:
    standin(discard)
    import brenlox_copt

    m = model

    def lp_phases() -> dict[str, Callable[[], object]]:
        target = brenlox_copt.Model()
        phases = {
            "vars": lambda: target.add_variables(m.n_vars, lbs=m.lbs, ubs=m.ubs),
            "rows": lambda: target.add_constraints(m.fs_vars, m.fs_coeffs, m.fs_consts, m.senses, m.rhss),
        }
        if not discard:
            phases["objective"] = lambda: target.set_objective(m.objective[0], m.objective[1], 0.0, 0)
        return phases

    def mip_phases() -> dict[str, Callable[[], object]]:
        target = brenlox_copt.Model()
        return {
            "names": lambda: target.add_variables(m.n_vars, names=m.names),
            "vars": lambda: target.add_variables(m.n_vars, vtypes=m.vtypes, lbs=m.lbs, ubs=m.ubs),
            "rows": lambda: target.add_constraints(
                m.fs_vars, m.fs_coeffs, m.fs_consts, m.senses, m.rhss, m.row_names
            ),
        }

    def single_phases() -> dict[str, Callable[[], object]]:
        target = brenlox_copt.Model()

        def add_variable_loop() -> None:
            add_variable = target.add_variable
            for _ in m.lbs:
                add_variable()

        def add_constraint_loop() -> None:
            add_constraint = target.add_constraint
            for variables, coefficients in zip(m.fs_vars, m.fs_coeffs):
                add_constraint(variables, coefficients, 0.0, "<", 1.0)

        return {
            "add_variable": add_variable_loop,
            "add_constraint": add_constraint_loop,
            "rows": lambda: target.add_constraints(m.fs_vars, m.fs_coeffs, m.fs_consts, m.senses, m.rhss),
        }

    phases = {"mip": mip_phases, "single": single_phases}.get(kind, lp_phases)
    return repeat(repetitions, phases)


def floor_module():
    sys.path.insert(0, str(build_dir() / "benchmarks"))
    import brenlox_bench_floor

    return brenlox_bench_floor


def ours_numpy(model: models.Model, repetitions: int) -> dict[str, list[float]]:
    """The bounds as float64 arrays (the buffer path), beside a memcpy of the same bytes."""
    import numpy as np

    standin(discard=True)
    import brenlox_copt

    f = floor_module()
    lbs, ubs, n = np.asarray(model.lbs, dtype=np.float64), np.asarray(model.ubs, dtype=np.float64), model.n_vars

    turns = itertools.count()

    def phases() -> dict[str, Callable[[], object]]:
        target, other = brenlox_copt.Model(), brenlox_copt.Model()
        # The same call without bounds, so that what taking the two arrays costs shows as the difference. The first
        # call of a repetition also pays for fresh pages (the previous repetition's memory went back to the system),
        # so the two take turns at going first.
        calls = [("vars", lambda: target.add_variables(n, lbs=lbs, ubs=ubs)),
                 ("vars_without_bounds", lambda: other.add_variables(n))]
        if next(turns) % 2:
            calls.reverse()
        return {**dict(calls), "memcpy": lambda: (f.copy_buffer(lbs), f.copy_buffer(ubs))}

    return repeat(repetitions, phases)


def arrays(model: models.Model, repetitions: int) -> dict[str, list[float]]:
    """The same rows as lists, as two 2-D arrays (int64 ids, float64 coefficients; rows of one length only) and as
    lists of 1-D arrays sliced from compressed rows, the bounds as float64 arrays; beside the array floor: copying the
    same arrays, making the id list and the generated names."""
    import numpy as np

    standin(discard=True)
    import brenlox_copt

    f = floor_module()
    m = model
    starts, indices, values, _, _ = models.csr(m)
    starts.append(len(indices))
    indices, values = np.asarray(indices, dtype=np.int64), np.asarray(values, dtype=np.float64)
    row_ids = [indices[starts[r]:starts[r + 1]] for r in range(len(m.fs_vars))]
    row_values = [values[starts[r]:starts[r + 1]] for r in range(len(m.fs_vars))]
    consts, rhss = np.asarray(m.fs_consts, dtype=np.float64), np.asarray(m.rhss, dtype=np.float64)
    lbs, ubs = np.asarray(m.lbs, dtype=np.float64), np.asarray(m.ubs, dtype=np.float64)
    rows, n = len(m.fs_vars), m.n_vars
    equal = len({len(row) for row in m.fs_vars}) == 1
    ids_2d, values_2d = (indices.reshape(rows, -1), values.reshape(rows, -1)) if equal else (None, None)

    def with_variables() -> object:
        target = brenlox_copt.Model()
        target.add_variables(n)
        return target

    def rows_from(fs_vars, fs_coeffs, fs_consts, rhss_) -> OnOwnModel:
        return OnOwnModel(with_variables, lambda target: target.add_constraints(fs_vars, fs_coeffs, fs_consts,
                                                                                  m.senses, rhss_))

    def phases() -> dict[str, Phase]:
        calls: dict[str, Phase] = {
            "rows_lists": rows_from(m.fs_vars, m.fs_coeffs, m.fs_consts, m.rhss),
            "rows_1d": rows_from(row_ids, row_values, consts, rhss),
            "vars_arrays": OnOwnModel(brenlox_copt.Model, lambda target: target.add_variables(n, lbs=lbs, ubs=ubs)),
            "vars_floor": OnOwnModel(brenlox_copt.Model, lambda _: f.array_floor((), (lbs, ubs), n, "x")),
        }
        if equal:
            calls["rows_2d"] = rows_from(ids_2d, values_2d, consts, rhss)
            calls["rows_floor"] = OnOwnModel(with_variables,
                                             lambda _: f.array_floor((ids_2d,), (values_2d, consts, rhss), rows, "c"))
        return calls

    return repeat(repetitions, phases, by_phase=True)


def floor(model: models.Model, kind: str, repetitions: int) -> dict[str, list[float]]:
    f = floor_module()

    m = model

    def rows() -> None:
        f.constraints(m.fs_vars, m.fs_coeffs, m.fs_consts, m.senses, m.rhss, m.row_names)

    def variables() -> None:
        f.variables(None, m.vtypes, m.lbs, m.ubs)

    def phases() -> dict[str, Callable[[], object]]:
        if kind == "mip":
            return {"names": lambda: f.variables(m.names, None, None, None), "vars": variables, "rows": rows}
        # What the module does beyond reading: the list of new ids it returns.
        return {"vars": variables, "rows": rows, "vars_ids": lambda: list(range(m.n_vars)),
                "rows_ids": lambda: list(range(len(m.fs_vars)))}

    return repeat(repetitions, phases)


def highspy_arm(model: models.Model, kind: str, repetitions: int, numpy_arrays: bool) -> dict[str, list[float]]:
    import highspy
    import numpy as np

    m = model
    # With lists, the rows must first be flattened into compressed rows, as a user of highspy holding the same lists
    # would: that is timed with the call. NumPy arrays come already flat.
    starts, indices, values, lower, upper = models.csr(m)
    lbs, ubs = m.lbs, m.ubs
    integer_columns = list(range(m.n_vars))
    integrality = [1] * m.n_vars  # HighsVarType.kInteger
    if numpy_arrays:
        starts, indices, integer_columns = (np.asarray(v, dtype=np.int32) for v in (starts, indices, integer_columns))
        values, lower, upper, lbs, ubs = (np.asarray(v, dtype=np.float64) for v in (values, lower, upper, lbs, ubs))
        integrality = np.asarray(integrality, dtype=np.uint8)
    rows, nnz = len(m.fs_vars), m.nnz

    def new_highs():
        solver = highspy.Highs()
        solver.setOptionValue("output_flag", False)
        return solver

    def phases() -> dict[str, Callable[[], object]]:
        solver = new_highs()

        def add_rows() -> None:
            if numpy_arrays:
                solver.addRows(rows, lower, upper, nnz, starts, indices, values)
            else:
                flat_starts, flat_indices, flat_values, flat_lower, flat_upper = models.csr(m)
                solver.addRows(rows, flat_lower, flat_upper, nnz, flat_starts, flat_indices, flat_values)

        if kind == "single":
            infinity = models.INF

            def add_variable_loop() -> None:
                for _ in m.lbs:
                    solver.addVar(0.0, infinity)

            def add_row_loop() -> None:
                for variables, coefficients in zip(m.fs_vars, m.fs_coeffs):
                    solver.addRow(-infinity, 1.0, 2, variables, coefficients)

            return {"add_variable": add_variable_loop, "add_constraint": add_row_loop, "rows": add_rows}
        if kind == "mip":

            def add_names() -> None:
                solver.addVars(m.n_vars, lbs, ubs)
                for column, name in enumerate(m.names):
                    solver.passColName(column, name)

            def add_typed_variables() -> None:
                solver.addVars(m.n_vars, lbs, ubs)
                solver.changeColsIntegrality(m.n_vars, integer_columns, integrality)

            def add_named_rows() -> None:
                add_rows()
                for row, name in enumerate(m.row_names):
                    solver.passRowName(row, name)

            phases = {"vars": add_typed_variables, "rows": add_named_rows}
            if not numpy_arrays:
                phases = {"names": add_names, **phases}
            return phases
        return {"vars": lambda: solver.addVars(m.n_vars, lbs, ubs), "rows": add_rows}

    return repeat(repetitions, phases)


def status_kib(field: str) -> int:
    for line in Path("/proc/self/status").read_text().splitlines():
        if line.startswith(field + ":"):
            return int(line.split()[1])
    raise RuntimeError(f"no {field} in /proc/self/status")


def memory(model: models.Model, repetitions: int) -> dict[str, object]:
    """Peak extra resident memory of one add_constraints call, as the kernel's high-water mark (reset just before the
    call) above the resident size before it. The id list the call returns is measured apart, by tracemalloc in one
    more call (it sees the Python objects only)."""
    standin(discard=True)
    import brenlox_copt

    m = model
    libc = ctypes.CDLL(None)

    def fresh_model():
        target = brenlox_copt.Model()
        target.add_variables(m.n_vars)
        gc.collect()
        libc.malloc_trim(0)
        return target

    peaks = []
    for _ in range(repetitions):
        target = fresh_model()
        before = status_kib("VmRSS")
        Path("/proc/self/clear_refs").write_text("5")
        ids = target.add_constraints(m.fs_vars, m.fs_coeffs, m.fs_consts, m.senses, m.rhss)
        peaks.append((status_kib("VmHWM") - before) * 1024)
        del ids, target
    target = fresh_model()
    tracemalloc.start()
    ids = target.add_constraints(m.fs_vars, m.fs_coeffs, m.fs_consts, m.senses, m.rhss)
    id_list = tracemalloc.get_traced_memory()[0]
    tracemalloc.stop()
    return {"peak_bytes": peaks, "id_list_bytes": [id_list]}


MANY_MODELS = 8


def build_and_solve(size: int) -> float | None:
    """One task of the processes arm, the same in this process and in a worker: builds the LP of this size from its
    lists, solves it on the stand-in that stores it and returns the objective value."""
    import brenlox_copt

    m = models.classic_lp(size)
    target = brenlox_copt.Model()
    target.set_optimizer_attr("Silent", True)
    target.add_variables(m.n_vars, lbs=m.lbs, ubs=m.ubs)
    target.add_constraints(m.fs_vars, m.fs_coeffs, m.fs_consts, m.senses, m.rhss)
    target.set_objective(m.objective[0], m.objective[1], 0.0, 0)
    target.optimize()
    return target.get_objective_value()


def processes(size: int, repetitions: int) -> dict[str, list[float]]:
    standin(discard=False)
    solved: dict[str, list] = {}

    def sequential() -> None:
        solved["sequential"] = [build_and_solve(size) for _ in range(MANY_MODELS)]

    def two_processes() -> None:
        # Each worker sets up the stand-in as this process did, however the platform starts processes.
        with concurrent.futures.ProcessPoolExecutor(2, initializer=standin, initargs=(False,)) as pool:
            solved["two_processes"] = list(pool.map(build_and_solve, [size] * MANY_MODELS))

    times = repeat(repetitions, lambda: {"sequential": sequential, "two_processes": two_processes})
    if solved["sequential"] != solved["two_processes"]:
        raise SystemExit(f"the workers solved to other objectives: {solved}")
    return times


def build_dir() -> Path:
    return Path(os.environ.get("BRENLOX_BUILD_DIR") or HERE.parent / "build")


def main() -> None:
    arm, kind, size, repetitions = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
    model = models.BUILDERS[kind](size)
    counts = {"vars": model.n_vars, "rows": len(model.fs_vars), "nnz": model.nnz}
    if arm == "memory":
        result: dict[str, object] = memory(model, repetitions)
    elif arm == "ours":
        result = {"phases": ours(model, kind, repetitions)}
    elif arm == "e2e_ours":
        result = {"phases": ours(model, kind, repetitions, discard=False), "checksum": models.checksum(model)}
    elif arm == "ours_numpy":
        result = {"phases": ours_numpy(model, repetitions)}
    elif arm == "arrays":
        result = {"phases": arrays(model, repetitions)}
    elif arm == "floor":
        result = {"phases": floor(model, kind, repetitions)}
    elif arm in ("highspy_lists", "highspy_numpy"):
        result = {"phases": highspy_arm(model, kind, repetitions, numpy_arrays=arm == "highspy_numpy")}
    elif arm == "processes":
        result = {"phases": processes(size, repetitions), "models": MANY_MODELS}
    else:
        raise SystemExit(f"unknown arm {arm!r}")
    print(json.dumps({**result, "counts": counts}))


if __name__ == "__main__":
    main()
