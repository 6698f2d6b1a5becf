#!/usr/bin/env bash
# The quick tier for the inner loop, about a minute: the development build (scripts/build.sh), the C++ tests (ctest),
# then the pytest suite on the default interpreter, stopping at the first failure. The state machine runs its brief
# profile unless BRENLOX_STATE_MACHINE says otherwise. Arguments go to pytest. CI runs the full test command,
# scripts/test.sh.
source "$(dirname "${BASH_SOURCE[0]}")/prologue.sh"
[ -x .venv/bin/python ] || bash scripts/setup.sh
timed() {
  local started=$SECONDS
  "$@"
  echo "check: $* took $((SECONDS - started)) s"
}
export BRENLOX_STATE_MACHINE="${BRENLOX_STATE_MACHINE:-brief}"
timed bash scripts/build.sh
timed .venv/bin/ctest --test-dir build --output-on-failure --stop-on-failure
timed .venv/bin/python -m pytest tests -x -q "$@"
echo "check: everything took $SECONDS s"
