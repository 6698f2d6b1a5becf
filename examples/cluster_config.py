"""Client configuration: solve on a COPT compute cluster whose address comes from the environment.

The settings go into an EnvrConfig before any environment exists; the COPT class names them. With the vendor's
library the environment made from this configuration sends its solves to the cluster; the repository's stand-in
solver accepts any setting and solves locally."""

import os

import brenlox_copt
from brenlox_copt import COPT

SETTINGS = {
    COPT.CLIENT_CLUSTER: os.environ.get("COPT_CLUSTER", "localhost"),
    COPT.CLIENT_PORT: int(os.environ.get("COPT_CLUSTER_PORT", "7878")),
    COPT.CLIENT_WAITTIME: 30,
    COPT.CLIENT_PRIORITY: 2,
}


def configured_env() -> brenlox_copt.Env:
    config = brenlox_copt.EnvrConfig()
    for name, value in SETTINGS.items():
        config.set(name, value)
    password = os.environ.get("COPT_CLUSTER_PASSWORD")
    if password is not None:
        config.set(COPT.CLIENT_PASSWORD, password)
    # The environment uses the library the configuration loaded; the configuration may go once it exists.
    return brenlox_copt.Env(config=config)


def solve() -> tuple[int, float | None]:
    """A small blending LP: the cheapest mix of two ores giving at least 40 t of metal from at most 100 t of ore."""
    model = brenlox_copt.Model(env=configured_env())
    model.set_optimizer_attr("Silent", True)
    model.set_optimizer_attr("TimeLimit", 60.0)
    ore = model.add_variables(2, names=["ore_a", "ore_b"])
    model.add_constraints(
        [ore, ore], [[0.5, 0.3], [1.0, 1.0]], [0.0, 0.0], [">", "<"], [40.0, 100.0], ["metal", "tonnage"]
    )
    model.set_objective(ore, [30.0, 15.0], 0.0, 0)
    return model.optimize(), model.get_objective_value()


if __name__ == "__main__":
    for name, value in SETTINGS.items():
        print(f"{name} = {value}")
    status, cost = solve()
    print(f"blend: result code {status}, cost {cost:.2f}")
