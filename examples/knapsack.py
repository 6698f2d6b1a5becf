"""A knapsack (mixed-integer program): the most valuable set of items that fits in the bag, one binary per item."""

import brenlox_copt

VALUES = [60.0, 100.0, 120.0, 80.0, 30.0, 70.0]
WEIGHTS = [10.0, 20.0, 30.0, 15.0, 5.0, 25.0]
CAPACITY = 50.0


def solve() -> tuple[int, float | None, list[int]]:
    model = brenlox_copt.Model()
    model.set_optimizer_attr("Silent", True)
    items = model.add_variables(len(VALUES), vtypes=["B"] * len(VALUES))
    model.add_constraint(items, WEIGHTS, 0.0, "<", CAPACITY, "capacity")
    model.set_objective(items, VALUES, 0.0, 1)
    status = model.optimize()
    chosen = [i for i in items if (model.get_var_value(i) or 0.0) > 0.5]
    return status, model.get_objective_value(), chosen


if __name__ == "__main__":
    status, value, chosen = solve()
    print(f"knapsack: result code {status}, value {value:.0f}, items {chosen}")
