#!/usr/bin/env bash
# Coverage-guided fuzzing: builds the module, the stand-in solver and the C++ fuzz targets with clang-19, libFuzzer
# instrumentation, AddressSanitizer and UndefinedBehaviorSanitizer into build-fuzz/ (atheris drives the Python
# target), then runs targets. Each run grows build-fuzz/corpus/<target> from the committed seeds in fuzz/corpus/;
# a finding stops the run with the input saved as build-fuzz/findings/<target>-*.
# Usage: scripts/fuzz.sh [--smoke | TARGET SECONDS|FILE [libFuzzer flags...]]
#   --smoke            every target for $BRENLOX_FUZZ_SMOKE_SECONDS (default 20) seconds (the test command's smoke)
#   TARGET SECONDS     one target (model, number_text, utf8_text, native_message) for that long (0: until stopped)
#   TARGET FILE        that target on one saved input, such as a finding
source "$(dirname "${BASH_SOURCE[0]}")/prologue.sh"
cpp_targets=(number_text utf8_text native_message)
build=build-fuzz

bash scripts/install-debian-packages.sh clang-19 libclang-rt-19-dev
export CC=clang-19 CXX=clang++-19 CLANG_BIN=/usr/bin/clang-19
.venv/bin/python -m pip install -q --disable-pip-version-check --no-binary atheris -r scripts/requirements-fuzz.txt

# vptr checks need a C++ UBSan runtime that atheris's merged ASan+libFuzzer runtime lacks; every other check is on.
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize=vptr -fno-sanitize-recover=all -fno-omit-frame-pointer"
.venv/bin/cmake -S . -B "$build" -G Ninja -DCMAKE_MAKE_PROGRAM="$root/.venv/bin/ninja" -DBRENLOX_DEV=ON \
  -DBRENLOX_FUZZ=ON -DBRENLOX_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPython_EXECUTABLE="$root/.venv/bin/python" \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  >"$build.configure.log" 2>&1 || { cat "$build.configure.log"; exit 1; }
rm -f "$build.configure.log"
nice .venv/bin/ninja -C "$build" -j2 brenlox_copt copt_standin "${cpp_targets[@]/#/fuzz_}" >"$build/build.log" 2>&1 ||
  { tail -n 100 "$build/build.log"; exit 1; }

# The preloaded runtime (ASan with libFuzzer inside, built by atheris) must reach the interpreter binary itself, not
# a shell shim in front of it: .venv/bin/python has to be a symlink chain that ends at an ELF file.
python=$(readlink -f .venv/bin/python)
[ "$(head -c 4 "$python" | tail -c 3)" = ELF ] || { echo "fuzz: $python is not an interpreter binary" >&2; exit 1; }
runtime=$(.venv/bin/python -c 'import atheris, os; print(os.path.join(atheris.path(), "asan_with_fuzzer.so"))')

# run TARGET SECONDS|FILE [libFuzzer flags...]: fuzz for that long from the corpora, or replay one saved input.
run() {
  local target=$1 limit=$2
  shift 2
  local corpus="$build/corpus/$target"
  mkdir -p "$corpus" "$build/findings"
  local options=(-dict="fuzz/dictionaries/$target.dict" -print_final_stats=1 -artifact_prefix="$build/findings/$target-"
                 -timeout=30 -rss_limit_mb=4096 "$@")
  if [ -f "$limit" ]; then
    options+=("$limit")
  else
    options+=(-max_total_time="$limit" "$corpus" "fuzz/corpus/$target")
    echo "fuzz: $target for ${limit}s"
  fi
  if [ "$target" = model ]; then
    # Python's own allocator is off so ASan sees every allocation; the interpreter's start-up leaks are not ours.
    # libFuzzer runs the script itself again for -merge and -jobs, so the environment's python comes first on PATH.
    env PATH="$root/.venv/bin:$PATH" LD_PRELOAD="$runtime $(clang++-19 -print-file-name=libstdc++.so.6)" PYTHONMALLOC=malloc \
      ASAN_OPTIONS="detect_leaks=0:allocator_may_return_null=1:abort_on_error=1" \
      UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
      PYTHONPATH="$root/$build/src/python:$root/tests" BRENLOX_STANDIN="$root/$build/standin" \
      nice -n 19 fuzz/python/model_target.py "${options[@]}"
  else
    ASAN_OPTIONS="abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
      nice -n 19 "$build/fuzz/fuzz_$target" "${options[@]}"
  fi
}

if [ "${1:-}" = --smoke ]; then
  for target in model "${cpp_targets[@]}"; do
    log="$build/smoke-$target.log"
    run "$target" "${BRENLOX_FUZZ_SMOKE_SECONDS:-20}" >"$log" 2>&1 || { tail -n 60 "$log"; exit 1; }
    # The closing line: executions, coverage (cov: edges, ft: features) and corpus size.
    grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | sed "s/^/fuzz: $target: /"
  done
else
  run "$@"
fi
