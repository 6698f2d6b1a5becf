#!/usr/bin/env bash
# Builds the module, the test-only module and the stand-in solver with AddressSanitizer and UndefinedBehaviorSanitizer
# into build-sanitize/, then runs the whole pytest suite against that build under the real interpreter binary, with
# the ASan runtime preloaded, Python's allocator off (so ASan sees every allocation) and leak detection on. Any report
# fails the run; scripts/lsan-suppressions.txt lists the leaks that are not ours. Arguments go to pytest.
source "$(dirname "${BASH_SOURCE[0]}")/prologue.sh"
build=build-sanitize
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
bash scripts/build-variant.sh "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" -DCMAKE_MODULE_LINKER_FLAGS="-fsanitize=address,undefined"

# The runtime must reach the interpreter binary itself, not a shell shim in front of it: .venv/bin/python has to be a
# symlink chain that ends at an ELF file.
python=$(readlink -f .venv/bin/python)
[ "$(head -c 4 "$python" | tail -c 3)" = ELF ] || { echo "sanitize: $python is not an interpreter binary" >&2; exit 1; }
asan_runtime=$(g++ -print-file-name=libasan.so)
# libstdc++ is preloaded too: the interpreter does not link it, and ASan's exception interceptor must find it at start.
export LD_PRELOAD="$asan_runtime $(g++ -print-file-name=libstdc++.so.6)"
# allocator_may_return_null: an impossible request fails (as with glibc) instead of aborting, since the module treats
# a sequence's reported length as a hint and survives a reservation that fails.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:halt_on_error=1:allocator_may_return_null=1:fast_unwind_on_malloc=0"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan-suppressions.txt:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export PYTHONMALLOC=malloc
export PYTHONPATH="$root/$build/src/python"
export BRENLOX_STANDIN="$root/$build/standin"
export BRENLOX_BUILD_DIR="$root/$build"
# The benchmark smoke test runs third-party solvers (HiGHS) that do not survive the ASan runtime; it tests no module code
# that the rest of the suite does not.
exec .venv/bin/python -m pytest -p no:cacheprovider --ignore=tests/test_benchmark_smoke.py "$@"
