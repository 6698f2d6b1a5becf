#!/usr/bin/env bash
# Sets everything up, then runs every test: the C++ suites through ctest, then the Python suites through pytest.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
cd "$root"
.venv/bin/ctest --test-dir build --output-on-failure
exec .venv/bin/python -m pytest "$@"
