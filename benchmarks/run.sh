#!/usr/bin/env bash
# The benchmark command from a clean clone: sets up and builds everything (scripts/setup.sh), installs the
# benchmark-only dependencies, then runs benchmarks/run.py with the given arguments (for example --smoke, or
# --write benchmarks/RESULTS.md).
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/prologue.sh"
bash scripts/setup.sh
.venv/bin/python -m pip install -q --disable-pip-version-check -r benchmarks/requirements.txt
exec .venv/bin/python benchmarks/run.py "$@"
