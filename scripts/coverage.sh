#!/usr/bin/env bash
# Line and branch coverage of the module's C++ (src/): builds everything with coverage counters into build-coverage/,
# runs the C++ tests and the whole pytest suite against that build, then reports with gcovr (a summary here, the
# per-line detail in build-coverage/coverage/index.html). Arguments go to pytest.
source "$(dirname "${BASH_SOURCE[0]}")/prologue.sh"
bash scripts/install-debian-packages.sh gcovr
build=build-coverage
flags="--coverage -O0 -fprofile-update=atomic"
bash scripts/build-variant.sh "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage -DCMAKE_MODULE_LINKER_FLAGS=--coverage
.venv/bin/ninja -C "$build" -j2 >/dev/null  # the C++ tests as well
find "$build" -name '*.gcda' -delete
# One case checks 2**31 matrix entries one by one, which takes the better part of an hour with a counter on every branch;
# it runs in the ordinary build, and the one branch only it reaches shows here as missed.
.venv/bin/ctest --test-dir "$build" --output-on-failure -E '^constraints_test$' >/dev/null
"$build/tests/cpp/constraints_test" --test-case-exclude='*exceed a c_int in total*' >/dev/null
PYTHONPATH="$root/$build/src/python" BRENLOX_STANDIN="$root/$build/standin" BRENLOX_BUILD_DIR="$root/$build" \
  .venv/bin/python -m pytest -q -p no:cacheprovider "$@"
mkdir -p "$build/coverage"
# Branches that only exception unwinding or the compiler's own bookkeeping can take are not the code's decisions.
gcovr --root . --object-directory "$build" --filter 'src/' --exclude-unreachable-branches --exclude-throw-branches \
  --print-summary --txt "$build/coverage/summary.txt" --html-details "$build/coverage/index.html"
cat "$build/coverage/summary.txt"
