"""The differential harness (tests/layers/differential/): every model of its table solved through our adapter and
through the same layer's HiGHS adapter; the status, objective and values agree, or ours differs as the table chose
and says why. The layers are those installed here (the test command installs each on one interpreter). The run's
summary (models per layer, agreements, every chosen difference with its reason) is printed at the end of the
session."""

import pytest

from differential import installed
from differential.compare import outcome, record, verdict
from differential.table import MODELS

BUILDERS = installed()
CASES = [(layer, model) for layer, builder in BUILDERS.items() for model in MODELS if not builder.unsupported(model)]


@pytest.mark.parametrize("layer, model", CASES, ids=[f"{layer}: {model.name}" for layer, model in CASES])
def test_ours_answers_as_the_highs_adapter_or_as_the_table_chose(layer, model):
    builder = BUILDERS[layer]
    ours, highs = outcome(builder, model, ours=True), outcome(builder, model, ours=False)
    problem = verdict(model, layer, ours, highs)
    record(model, layer, ours, highs, problem)
    assert problem is None, problem
