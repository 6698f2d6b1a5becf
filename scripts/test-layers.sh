#!/usr/bin/env bash
# The modelling layers' own solver suites against brenlox_copt_modelling (tests/layers) and our adapter tests, each
# suite once, on x86_64 only: the release wheel of build/wheelhouse (made by scripts/check-wheel.sh) in a virtual
# environment per interpreter, with the layers pinned in scripts/requirements-layers*.txt. CPython 3.11: PuLP 3, Pyomo
# and CVXPY (the newest PuLP there is 3.3); CPython 3.12: PuLP 4, linopy and SciPy's milp. Elsewhere those tests
# skip, as the layers are not installed there. Arguments go to pytest.
source "$(dirname "${BASH_SOURCE[0]}")/prologue.sh"
wheels=(build/wheelhouse/*.whl)
[ -f "${wheels[0]}" ] || { echo "test-layers: no wheel in build/wheelhouse; run scripts/check-wheel.sh"; exit 1; }

# run_layers VERSION REQUIREMENTS TEST...: a fresh virtual environment of CPython VERSION with the wheel and the
# pinned layers, then pytest on the given tests.
run_layers() {
  local version=$1 requirements=$2 python venv started=$SECONDS
  shift 2
  python=$(ls -d "${PYENV_ROOT:-$HOME/.pyenv}"/versions/"$version".*/bin/python"$version" 2>/dev/null | sort -V | tail -1)
  [ -n "$python" ] || python=$(command -v "python$version")
  venv=build/layers-$version
  rm -rf "$venv"
  "$python" -m venv "$venv"
  "$venv/bin/python" -m pip install -q --disable-pip-version-check "pytest>=7" -r "$requirements" "${wheels[0]}"
  echo "test-layers: $("$venv/bin/python" -VV | head -1) with $("$venv/bin/python" -m pip freeze \
    | grep -i -E '^(pulp|pyomo|cvxpy|linopy|scipy|highspy)==' | tr '\n' ' ')"
  "$venv/bin/python" -m pytest -p no:cacheprovider --basetemp="$venv/tmp" "$@" "${pytest_args[@]}"
  echo "test-layers: CPython $version took $((SECONDS - started)) s"
}
examples=tests/test_examples.py::test_layer_example_solves_its_first_model

pytest_args=("$@")
# The differential harness takes each layer on the interpreter of its suites (SciPy is on 3.11 too, for Pyomo).
BRENLOX_HARNESS_LAYERS=pulp,pyomo,cvxpy run_layers 3.11 scripts/requirements-layers.txt \
  tests/layers/test_pulp_suite.py tests/layers/test_pyomo_suite.py tests/layers/test_cvxpy_suite.py \
  tests/layers/test_adapters.py tests/layers/test_differential.py "$examples[pulp]" "$examples[pyomo]" \
  "$examples[cvxpy]"
BRENLOX_HARNESS_LAYERS=pulp4,linopy,scipy run_layers 3.12 scripts/requirements-layers-3.12.txt \
  tests/layers/test_pulp_suite.py tests/layers/test_linopy_agreement.py tests/layers/test_scipy_milp_suite.py \
  tests/layers/test_layer_results.py tests/layers/test_differential.py "$examples[pulp]" "$examples[linopy]" \
  "$examples[scipy]"
