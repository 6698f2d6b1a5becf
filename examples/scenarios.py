"""Many variants of one model solved at once in worker processes: the production plan under demand scenarios.

Each task gets plain data (one scenario's numbers), builds its own Model inside the worker and returns plain results
(result code, profit, amounts). Module objects never travel: each belongs to the thread that made it, and none can
be pickled. Processes, not threads, because a solve holds the interpreter lock until it returns.

    python examples/scenarios.py                     # a process pool on this machine
    python examples/scenarios.py --dask              # a Dask LocalCluster of worker processes on this machine
    python examples/scenarios.py --dask --scheduler tcp://host:port    # an existing Dask cluster

Dask comes from examples/requirements-dask.txt; every worker needs brenlox_copt and the solver library (COPT_HOME)."""

from __future__ import annotations

import argparse
import concurrent.futures

import brenlox_copt

PRODUCTS = ["chairs", "tables", "desks"]
RESOURCES = ["carpentry", "finishing", "assembly"]
HOURS = [[5.0, 20.0, 15.0], [10.0, 15.0, 25.0], [2.0, 4.0, 6.0]]  # per resource, hours per product


def scenario(index: int) -> dict:
    """Plain data for one scenario: prices and hours available move with the index, and so does the desk market."""
    return {
        "name": f"s{index}",
        "profit": [45.0 + 5.0 * (index % 3), 80.0, 130.0 - 10.0 * (index % 4)],
        "available": [400.0 + 20.0 * index, 450.0, 120.0 + 5.0 * (index % 5)],
        "max_desks": 10.0 + index,
    }


def solve(data: dict) -> dict:
    """Runs in the worker: builds the scenario's model there and returns plain values only."""
    model = brenlox_copt.Model()
    model.set_optimizer_attr("Silent", True)
    make = model.add_variables(len(PRODUCTS), names=PRODUCTS, ubs=[float("inf"), float("inf"), data["max_desks"]])
    count = len(RESOURCES)
    model.add_constraints([make] * count, HOURS, [0.0] * count, ["<"] * count, data["available"], RESOURCES)
    model.set_objective(make, data["profit"], 0.0, 1)  # 1 maximises
    status = model.optimize()
    return {
        "name": data["name"],
        "status": status,
        "profit": model.get_objective_value(),
        "amounts": [model.get_var_value(v) for v in make],
    }


def outcomes(futures: list, timeout: float | None) -> list[dict | Exception]:
    """Each task's result in order, or the exception it raised in its worker (a refused model, a solver failure);
    a task still running after `timeout` seconds raises TimeoutError here."""
    found: list[dict | Exception] = []
    for future in futures:
        try:
            found.append(future.result(timeout=timeout))
        except TimeoutError:
            raise
        except Exception as error:  # noqa: BLE001 - the task's own failure, kept beside the others' results
            found.append(error)
    return found


def on_pool(tasks: list[dict], workers: int = 2, timeout: float | None = None) -> list[dict | Exception]:
    """The tasks on a process pool of this machine."""
    with concurrent.futures.ProcessPoolExecutor(max_workers=workers) as pool:
        return outcomes([pool.submit(solve, task) for task in tasks], timeout)


def on_dask(tasks: list[dict], scheduler: str | None = None, workers: int = 2,
            timeout: float | None = None) -> list[dict | Exception]:
    """The tasks on the Dask cluster at `scheduler`, or on a LocalCluster of `workers` processes on this machine
    (loopback only, one thread each, no dashboard), closed when done."""
    from dask.distributed import Client, LocalCluster

    if scheduler is not None:
        with Client(scheduler, timeout=timeout) as client:
            return outcomes(client.map(solve, tasks, pure=False), timeout)
    with LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None) as cluster, Client(cluster, timeout=timeout) as client:
        return outcomes(client.map(solve, tasks, pure=False), timeout)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--scenarios", type=int, default=8, help="how many scenarios (default 8)")
    parser.add_argument("--workers", type=int, default=2, help="worker processes on this machine (default 2)")
    parser.add_argument("--dask", action="store_true", help="run on a Dask cluster instead of a process pool")
    parser.add_argument("--scheduler", help="the address of an existing Dask scheduler (implies --dask)")
    arguments = parser.parse_args()
    tasks = [scenario(index) for index in range(arguments.scenarios)]
    if arguments.dask or arguments.scheduler:
        where = f"Dask scheduler {arguments.scheduler}" if arguments.scheduler else "a Dask LocalCluster"
        results = on_dask(tasks, arguments.scheduler, arguments.workers, timeout=300)
    else:
        where = "a process pool"
        results = on_pool(tasks, arguments.workers, timeout=300)
    for task, result in zip(tasks, results):
        if isinstance(result, Exception):
            print(f"{task['name']}: failed: {type(result).__name__}: {result}")
        else:
            amounts = ", ".join(f"{p} {a:.2f}" for p, a in zip(PRODUCTS, result["amounts"]))
            print(f"{result['name']}: result code {result['status']}, profit {result['profit']:.2f} ({amounts})")
    solved = [result for result in results if not isinstance(result, Exception)]
    print(f"{len(solved)} of {len(tasks)} scenarios solved on {where}")
    if solved:
        best = max(solved, key=lambda result: result["profit"])
        print(f"best: {best['name']}, profit {best['profit']:.2f}")


if __name__ == "__main__":
    main()
