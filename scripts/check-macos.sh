#!/usr/bin/env bash
# The macOS wheels, built and checked without running them (nothing here runs a Mach-O file): zig's clang cross-builds
# the module (tests/macos) for arm64 from macOS 11.0 and for x86_64 from macOS 10.15 (its C++ runtime calls
# aligned_alloc) into build/macos/, packed as cp311-abi3 wheels tagged for those minimums. Checked in each, with LLVM's
# Mach-O tools: the minimum macOS the file names is the tag's, it loads nothing but libSystem, exports
# PyInit_brenlox_copt alone, takes every other undefined name from libSystem except the interpreter's (looked up when
# loaded), which must all be stable ABI (abi3audit --strict); and pip picks each wheel for its platform.
source "$(dirname "${BASH_SOURCE[0]}")/prologue.sh"
[ -x .venv/bin/cmake ] || bash scripts/setup.sh
export PATH="$root/.venv/bin:$PATH"
bash scripts/install-debian-packages.sh llvm-19
llvm=/usr/lib/llvm-19/bin
out=build/macos
rm -rf "$out/wheelhouse"

# zig target, macOS version as the file names it, wheel platform tag. LLVM's archiver writes the static libraries in
# the BSD format that zig's Mach-O linker reads (the GNU archives of the build machine's ar it cannot).
targets=(
  "aarch64-macos.11.0 11.0 macosx_11_0_arm64"
  "x86_64-macos.10.15 10.15 macosx_10_15_x86_64"
)
for target in "${targets[@]}"; do
  read -r zig_target minimum platform <<<"$target"
  build=$out/$platform
  cmake -S tests/macos -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRENLOX_WERROR="$werror" \
    -DPython_EXECUTABLE="$root/.venv/bin/python" -DBRENLOX_MACOS_TARGET="$zig_target" \
    -DCMAKE_AR="$llvm/llvm-ar" -DCMAKE_RANLIB="$llvm/llvm-ranlib" \
    -DCMAKE_TOOLCHAIN_FILE="$root/tests/macos/zig-macos.cmake" >/dev/null
  cmake --build "$build" -j2
  module=$build/python/brenlox_copt.abi3.so
  fail() { echo "check-macos: $platform: $*"; exit 1; }

  commands=$("$llvm/llvm-otool" -l "$module")
  # LC_BUILD_VERSION says "minos 11.0"; for older targets the linker may write LC_VERSION_MIN_MACOSX, "version 10.x".
  named=$(awk '/cmd LC_BUILD_VERSION/ {b = 1} b && $1 == "minos" {print $2; exit}
               /cmd LC_VERSION_MIN_MACOSX/ {v = 1} v && $1 == "version" {print $2; exit}' <<<"$commands")
  [ "$named" = "$minimum" ] || fail "the module names macOS $named as its minimum, not $minimum"
  loads=$(awk '/cmd LC_(LOAD|LOAD_WEAK|REEXPORT|LAZY_LOAD|LOAD_UPWARD)_DYLIB/ {l = 1} l && $1 == "name" {print $2; l = 0}' \
    <<<"$commands")
  [ "$loads" = /usr/lib/libSystem.B.dylib ] || fail "loads $(echo $loads), not libSystem alone"
  # Besides the module's own exports, zig's linker always adds two names for the file's Mach-O header.
  exports=$("$llvm/llvm-objdump" --macho --exports-trie "$module" | awk '/^0x/ {print $2}' \
    | grep -v -x -E '__mh_dylib_header|___dso_handle' || true)
  [ "$exports" = _PyInit_brenlox_copt ] || fail "exports $(echo $exports), not _PyInit_brenlox_copt alone"
  # llvm-nm -m names the library of each undefined name bound to one, "(from libSystem)"; the others are the
  # interpreter's, looked up when the module is loaded.
  undefined=$("$llvm/llvm-nm" -m --undefined-only "$module")
  foreign=$(grep -v -E '\(from libSystem\)$|^ *\(undefined\) (weak )?external _[A-Z_]*Py[A-Za-z0-9_]*$' \
    <<<"$undefined" || true)
  [ -z "$foreign" ] || fail "takes names neither from libSystem nor from the interpreter:"$'\n'"$foreign"

  .venv/bin/python scripts/pack_wheel.py "$module" "cp311-abi3-$platform" "$out/wheelhouse"
  wheel=$(ls "$out"/wheelhouse/*-"$platform".whl)
  .venv/bin/python scripts/wheel_contents.py "$wheel" brenlox_copt.abi3.so || exit 1
  if ! audit=$(.venv/bin/abi3audit --strict "$wheel" 2>&1); then echo "$audit"; exit 1; fi
  size=$(stat -c %s "$wheel")
  [ "$size" -lt 1000000 ] || fail "the wheel has $size bytes, more than 1 MB"
  target_dir=$(mktemp -d)
  .venv/bin/python -m pip install --disable-pip-version-check --dry-run --target "$target_dir" --no-deps --no-index \
    --only-binary=:all: --platform "$platform" --python-version 3.11 --find-links "$out/wheelhouse" brenlox-copt \
    | grep -q "^Would install brenlox-copt-0.1.0$" || fail "pip would not install $(basename "$wheel") there"
  rmdir "$target_dir"
  echo "check-macos: $(basename "$wheel") ($size bytes): minimum macOS $named, loads $loads only, exports" \
    "$exports only, $(grep -c 'from libSystem' <<<"$undefined") names from libSystem and" \
    "$(grep -c -v 'from libSystem' <<<"$undefined") from the interpreter, abi3audit --strict clean, pip picks it for" \
    "$platform (built and checked, not run)"
done
