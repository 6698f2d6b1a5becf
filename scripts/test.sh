#!/usr/bin/env bash
# Sets everything up, then runs every test: the C++ suites (ctest), the release wheel and sdist checks, the Windows
# check under Wine, the macOS wheels' checks, the leak check, a short run of each fuzz target, then the Python suites
# (pytest) against that wheel on CPython 3.11 to 3.15.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
cd "$root"
# The newest CPythons' Debian root is mostly download and unpacking: it is made while the checks below run.
bash scripts/newest-pythons.sh >build/newest-pythons.log 2>&1 &
newest=$!
.venv/bin/ctest --test-dir build --output-on-failure
bash scripts/check-wheel.sh
bash scripts/check-sdist.sh
bash scripts/windows-check.sh
bash scripts/check-macos.sh
bash scripts/leak-check.sh
bash scripts/fuzz.sh --smoke
wait "$newest" || { cat build/newest-pythons.log; exit 1; }
exec bash scripts/test-interpreters.sh "$@"
