"""One solver environment shared by several models: the cheapest delivery fleet for each day of the week.

Each day is its own small MIP (how many vans and trucks to carry that day's parcels). Creating an environment costs
more than creating a model, so all five models are built on one Env instead of each making its own."""

import brenlox_copt

DEMAND = {"Mon": 100, "Tue": 75, "Wed": 130, "Thu": 60, "Fri": 180}  # parcels
VEHICLES = ["van", "truck"]
CAPACITY = [12.0, 30.0]  # parcels per vehicle
COST = [100.0, 220.0]  # per vehicle and day


def day_model(env: brenlox_copt.Env, parcels: int) -> tuple[brenlox_copt.Model, list[int]]:
    model = brenlox_copt.Model(env=env)
    model.set_optimizer_attr("Silent", True)
    fleet = model.add_variables(len(VEHICLES), names=VEHICLES, vtypes=["I", "I"])
    model.add_constraint(fleet, CAPACITY, 0.0, ">", float(parcels), "demand")
    model.set_objective(fleet, COST, 0.0, 0)  # 0 minimises
    return model, fleet


def solve() -> dict[str, tuple[int, float | None, list[float | None]]]:
    env = brenlox_copt.Env()
    models = {day: day_model(env, parcels) for day, parcels in DEMAND.items()}
    del env  # the models keep the shared environment alive
    plans = {}
    for day, (model, fleet) in models.items():
        status = model.optimize()
        plans[day] = (status, model.get_objective_value(), [model.get_var_value(v) for v in fleet])
    return plans


if __name__ == "__main__":
    total = 0.0
    for day, (status, cost, (vans, trucks)) in solve().items():
        print(f"{day}: result code {status}, {vans:.0f} vans, {trucks:.0f} trucks, cost {cost:.0f}")
        total += cost or 0.0
    print(f"week: cost {total:.0f}")
