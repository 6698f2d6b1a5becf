"""The main job: build and solve a production plan (LP) and a knapsack (MIP), then print what the solver found."""

import knapsack
import production_plan

status, profit, plan = production_plan.solve()
print(f"production plan (LP): result code {status}, objective {profit:.4f}")
for product, amount in plan.items():
    print(f"  make {amount:8.4f} {product}")

status, value, chosen = knapsack.solve()
print(f"knapsack (MIP): result code {status}, objective {value:.4f}, items {chosen}")
