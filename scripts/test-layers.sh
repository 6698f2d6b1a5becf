#!/usr/bin/env bash
# The modelling layers' own solver suites against brenlox_copt_modelling (tests/layers) and our adapter tests, once,
# on CPython 3.11 for x86_64 only: the release wheel of build/wheelhouse (made by scripts/check-wheel.sh) with the
# layers pinned in scripts/requirements-layers.txt, in a virtual environment of its own. Elsewhere those tests skip,
# as the layers are not installed there. Arguments go to pytest.
source "$(dirname "${BASH_SOURCE[0]}")/prologue.sh"
wheels=(build/wheelhouse/*.whl)
[ -f "${wheels[0]}" ] || { echo "test-layers: no wheel in build/wheelhouse; run scripts/check-wheel.sh"; exit 1; }
python=$(ls -d "${PYENV_ROOT:-$HOME/.pyenv}"/versions/3.11.*/bin/python3.11 2>/dev/null | sort -V | tail -1)
[ -n "$python" ] || python=$(command -v python3.11)
venv=build/layers
rm -rf "$venv"
"$python" -m venv "$venv"
"$venv/bin/python" -m pip install -q --disable-pip-version-check "pytest>=7" highspy -r scripts/requirements-layers.txt \
  "${wheels[0]}"
echo "test-layers: $("$venv/bin/python" -VV | head -1) with $("$venv/bin/python" -m pip freeze \
  | grep -i -E '^(pulp|pyomo|cvxpy)==' | tr '\n' ' ')"
"$venv/bin/python" -m pytest -p no:cacheprovider --basetemp="$venv/tmp" tests/layers \
  tests/test_examples.py::test_layer_example_solves_its_first_model "$@"
