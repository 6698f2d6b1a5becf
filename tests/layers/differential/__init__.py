"""The differential harness: every model of table.py solved through our adapter and through the same layer's HiGHS
adapter. One builder per layer, a module with MODULE (the layer's import name), unsupported(model) (why the layer
cannot state a model, or None), build(model) (the layer's model and its variables in the table's order) and
solve(built, model, ours) (a compare.Result, solved by ours or by HiGHS). A further layer plugs in as one more
builder in LAYERS, and a chosen difference of it as one more entry in the table's Chosen."""

from . import cvxpy_layer, pulp_layer, pyomo_layer

LAYERS = {"pulp": pulp_layer, "pyomo": pyomo_layer, "cvxpy": cvxpy_layer}


def not_expressible() -> dict[str, list[str]]:
    """Per layer, the table's models it cannot state, with the reason."""
    from .table import MODELS

    return {layer: [f"{model.name} ({builder.unsupported(model)})" for model in MODELS if builder.unsupported(model)]
            for layer, builder in LAYERS.items()}
