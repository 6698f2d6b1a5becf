"""The differential harness: every model of table.py solved through our adapter and through the same layer's HiGHS
adapter. One builder per layer, a module with MODULE (the layer's import and distribution name), optionally MAJOR
(the layer's major release it is for), unsupported(model) (why the layer cannot state a model, or None),
build(model) (the layer's model and its variables in the table's order) and solve(built, model, ours) (a
compare.Result, solved by ours or by HiGHS). A further layer plugs in as one more builder in LAYERS, and a chosen
difference of it as one more entry in the table's Chosen."""

import os
from importlib import metadata
from importlib.util import find_spec

from . import cvxpy_layer, linopy_layer, pulp4_layer, pulp_layer, pyomo_layer, scipy_layer

LAYERS = {"pulp": pulp_layer, "pulp4": pulp4_layer, "pyomo": pyomo_layer, "cvxpy": cvxpy_layer,
          "linopy": linopy_layer, "scipy": scipy_layer}


def installed() -> dict:
    """The builders whose layer, in the release each is for, and HiGHS beside it can be imported here; only those
    named in BRENLOX_HARNESS_LAYERS (comma-separated) when it is set, as the test command sets it so that each layer
    runs on one interpreter (SciPy, say, is installed beside Pyomo too)."""
    if find_spec("highspy") is None:
        return {}
    chosen = os.environ.get("BRENLOX_HARNESS_LAYERS")
    return {layer: builder for layer, builder in LAYERS.items()
            if (chosen is None or layer in chosen.split(",")) and find_spec(builder.MODULE) is not None
            and getattr(builder, "MAJOR", None) in (None, int(metadata.version(builder.MODULE).split(".")[0]))}


def not_expressible() -> dict[str, list[str]]:
    """Per layer, the table's models it cannot state, with the reason."""
    from .table import MODELS

    return {layer: [f"{model.name} ({builder.unsupported(model)})" for model in MODELS if builder.unsupported(model)]
            for layer, builder in LAYERS.items()}
