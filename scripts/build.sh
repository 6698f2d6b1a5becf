#!/usr/bin/env bash
# Builds into build/ (the module, the stand-in solver at build/standin/bin/copt.dll, the test-only module and the
# C++ tests) and installs the module into .venv. Builds are serialised, so parallel callers cannot trip each other.
source "$(dirname "${BASH_SOURCE[0]}")/prologue.sh"
mkdir -p build
exec 9>build/.lock
flock 9
.venv/bin/python -m pip install -q --disable-pip-version-check --no-build-isolation --no-deps --force-reinstall \
  -Cbuild-dir=build -Ccmake.build-type=RelWithDebInfo \
  -Ccmake.define.BRENLOX_DEV=ON -Ccmake.define.BRENLOX_WERROR="$werror" .
