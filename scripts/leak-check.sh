#!/usr/bin/env bash
# Leak checks over build/solve/destroy cycles (tests/leak_cycles.py: every constructor form and method, succeeding
# and failing calls):
# 1. references: the module built for Debian's debug interpreter (python3.11-dbg, build-dbg/) runs 1,000 cycles,
#    then 1,000 more; sys.gettotalrefcount() must grow by less than 100 over the second thousand (one leaked
#    reference per cycle would add 1,000; the interpreter's own caches move the count by a few);
# 2. native memory: valgrind runs a few cycles with the regular build (build/, from scripts/build.sh) and fails on
#    any definite leak or memory error.
source "$(dirname "${BASH_SOURCE[0]}")/prologue.sh"
bash scripts/install-debian-packages.sh python3.11-dbg valgrind

# The debug interpreter counts only the reference changes of code built for it: with Py_DEBUG the limited API turns
# each change into a counted call. Debian's debug headers are symlinks that lead the compiler to the release
# pyconfig.h, so Py_DEBUG is defined explicitly.
bash scripts/build-variant.sh build-dbg -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPython_EXECUTABLE=/usr/bin/python3.11-dbg \
  -DCMAKE_C_FLAGS=-DPy_DEBUG -DCMAKE_CXX_FLAGS=-DPy_DEBUG
result=$(PYTHONPATH="$root/build-dbg/src/python" BRENLOX_STANDIN="$root/build-dbg/standin" \
  python3.11-dbg tests/leak_cycles.py 1000 1000 | tail -n 1)
echo "debug interpreter, cycles 1,001 to 2,000: $result"
python3 -c 'import json, sys; sys.exit(abs(json.loads(sys.argv[1])["references"]) >= 100)' "$result" ||
  { echo "leak-check: references leaked" >&2; exit 1; }

# Python's allocator is switched off so valgrind sees each allocation; the interpreter's own reports are suppressed.
# Symbols of unloaded libraries are kept for the report.
PYTHONMALLOC=malloc valgrind --quiet --keep-debuginfo=yes --leak-check=full --show-leak-kinds=definite \
  --errors-for-leak-kinds=definite --error-exitcode=1 \
  --suppressions=tests/standin/valgrind-python.supp \
  .venv/bin/python tests/leak_cycles.py 3 >/dev/null
echo "valgrind: no definite leak and no memory error over 3 cycles"
