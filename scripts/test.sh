#!/usr/bin/env bash
# Sets everything up, then runs every test: the C++ suites (ctest), the release wheel and sdist checks, the Windows
# check under Wine, the leak check, a short run of each fuzz target, then the Python suites (pytest) against that wheel
# on CPython 3.11, 3.12 and 3.13.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
cd "$root"
.venv/bin/ctest --test-dir build --output-on-failure
bash scripts/check-wheel.sh
bash scripts/check-sdist.sh
bash scripts/windows-check.sh
bash scripts/leak-check.sh
bash scripts/fuzz.sh --smoke
exec bash scripts/test-interpreters.sh "$@"
