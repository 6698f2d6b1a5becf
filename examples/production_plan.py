"""A production plan (linear program): how much of each product to make to earn the most from limited resources."""

import brenlox_copt

PRODUCTS = ["chairs", "tables", "desks"]
PROFIT = [45.0, 80.0, 130.0]
# resource -> (hours per product, hours available)
RESOURCES = {
    "carpentry": ([5.0, 20.0, 15.0], 400.0),
    "finishing": ([10.0, 15.0, 25.0], 450.0),
    "assembly": ([2.0, 4.0, 6.0], 120.0),
}
MAX_DESKS = 10.0


def solve() -> tuple[int, float | None, dict[str, float | None]]:
    model = brenlox_copt.Model()
    model.set_optimizer_attr("Silent", True)
    make = model.add_variables(len(PRODUCTS), names=PRODUCTS, ubs=[float("inf"), float("inf"), MAX_DESKS])
    names = list(RESOURCES)
    model.add_constraints(
        [make] * len(names),
        [RESOURCES[name][0] for name in names],
        [0.0] * len(names),
        ["<"] * len(names),
        [RESOURCES[name][1] for name in names],
        names,
    )
    model.set_objective(make, PROFIT, 0.0, 1)  # 1 maximises
    status = model.optimize()
    return status, model.get_objective_value(), {p: model.get_var_value(v) for p, v in zip(PRODUCTS, make)}


if __name__ == "__main__":
    status, profit, plan = solve()
    print(f"production plan: result code {status}, profit {profit:.2f}")
    for product, amount in plan.items():
        print(f"  {product:<7} {amount:8.3f}")
