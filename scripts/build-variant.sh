#!/usr/bin/env bash
# Builds what the pytest suite needs (the module, the test-only modules, the stand-in solver and its variants) into a
# build directory of its own, with extra CMake arguments: the sanitizer, coverage and debug-interpreter builds.
# Usage: scripts/build-variant.sh <build dir> [cmake arguments...]; the build's output goes to <build dir>/build.log.
source "$(dirname "${BASH_SOURCE[0]}")/prologue.sh"
build=$1
shift
.venv/bin/cmake -S . -B "$build" -G Ninja -DCMAKE_MAKE_PROGRAM="$root/.venv/bin/ninja" -DBRENLOX_DEV=ON \
  -DPython_EXECUTABLE="$root/.venv/bin/python" "$@" >"$build.configure.log" 2>&1 ||
  { cat "$build.configure.log"; exit 1; }
rm -f "$build.configure.log"
mapfile -t variants < <(.venv/bin/ninja -C "$build" -t targets all | grep -oE '^copt_standin_without_COPT_[A-Za-z]+' | sort -u)
.venv/bin/ninja -C "$build" -j2 brenlox_copt brenlox_argcheck brenlox_bench_floor copt_standin "${variants[@]}" >"$build/build.log" 2>&1 ||
  { tail -n 100 "$build/build.log"; exit 1; }
