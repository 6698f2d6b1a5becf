#!/usr/bin/env bash
# Sets everything up, then runs every test: the C++ suites (ctest), the documentation site (built with warnings as
# errors and every sample run, its links and anchors, a look in headless Chromium), the release wheel and sdist
# checks, the modelling layers' own solver suites against our adapters (CPython 3.11 and 3.12), the Windows check under
# Wine, the macOS wheels' checks, the leak check, a short run of each fuzz target, then the Python suites (pytest)
# against that wheel on CPython 3.11 to 3.15. The aarch64 check under qemu (mostly one emulated core) runs
# beside all of that from the start, into build/aarch64/check.log, printed at the end.
source "$(dirname "${BASH_SOURCE[0]}")/prologue.sh"
# Runs one step and says how long it took, so that a slow step shows in the log.
timed() {
  local started=$SECONDS status=0
  "$@" || status=$?
  echo "test: $* took $((SECONDS - started)) s"
  return "$status"
}
timed bash scripts/setup.sh
mkdir -p build/aarch64
echo "test: the aarch64 check runs in the background (build/aarch64/check.log)"
# In a session of its own, so that whatever ends this script early ends the check and all it started.
setsid bash scripts/aarch64-check.sh >build/aarch64/check.log 2>&1 </dev/null &
aarch64=$!
trap 'kill -- -"$aarch64" 2>/dev/null || true' EXIT
# The newest CPythons' Debian root is mostly download and unpacking: it is made while the checks below run.
bash scripts/newest-pythons.sh >build/newest-pythons.log 2>&1 &
newest=$!
timed .venv/bin/ctest --test-dir build --output-on-failure
timed bash scripts/docs.sh
timed bash scripts/check-wheel.sh
timed bash scripts/check-sdist.sh
timed bash scripts/test-layers.sh
timed bash scripts/windows-check.sh
timed bash scripts/check-macos.sh
timed bash scripts/leak-check.sh
timed bash scripts/fuzz.sh --smoke
wait "$newest" || { cat build/newest-pythons.log; exit 1; }
status=0
timed bash scripts/test-interpreters.sh "$@" || status=$?
aarch64_status=0
wait "$aarch64" || aarch64_status=$?
trap - EXIT
echo "test: the aarch64 check under qemu:"
cat build/aarch64/check.log
[ "$aarch64_status" -eq 0 ] || { echo "test: the aarch64 check failed ($aarch64_status)"; status=1; }
echo "test: everything took $SECONDS s"
exit "$status"
