#!/usr/bin/env bash
# Usage: aarch64-check.sh [pytest arguments...]
# The Linux aarch64 check, run for real under emulation: builds and checks the manylinux_2_17_aarch64 wheel
# (scripts/check-wheel.sh aarch64); cross-builds with zig the stand-in solver (against Debian's arm64 GLPK), the
# test-only modules and the C++ tests into build/aarch64/dev and runs the C++ tests through qemu; then installs the
# wheel into Debian's arm64 CPython 3.11 and runs the pytest suite there under qemu. That interpreter is a small script
# that starts the emulator, so the child interpreters that tests start run emulated too.
# Prepared once and cached in build/aarch64-deps: Debian's qemu-user-static and an arm64 root with python3.11 and
# libglpk-dev, fetched by apt with a state of its own and unpacked (the machine's dpkg architectures and binfmt stay
# untouched), and the test dependencies' aarch64 wheels.
source "$(dirname "${BASH_SOURCE[0]}")/prologue.sh"
[ -x .venv/bin/cmake ] || bash scripts/setup.sh
export PATH="$root/.venv/bin:$PATH"
deps=$root/build/aarch64-deps
sysroot=$deps/root
qemu=$deps/qemu/usr/bin/qemu-aarch64-static
arm64_packages=(python3.11 libglpk-dev libstdc++6)

if [ "$(cat "$deps/packages" 2>/dev/null)" != "${arm64_packages[*]}" ]; then
  echo "aarch64-check: fetching Debian's qemu-user-static and an arm64 root (${arm64_packages[*]})"
  rm -rf "$deps"
  mkdir -p "$deps/apt/lists/partial" "$deps/apt/archives/partial" "$deps/qemu" "$sysroot"
  touch "$deps/apt/status"
  # The machine's own Debian archives, read for both machines' packages.
  targets() { apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT)' 'Identifier: Packages' 'Origin: Debian'; }
  [ -n "$(targets)" ] || apt-get update -qq
  targets | sort -u | sed 's|^|deb [arch=arm64,amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] |' \
    >"$deps/apt/sources.list"
  apt=(apt-get -qq -o Dir::State="$deps/apt" -o Dir::State::status="$deps/apt/status" -o Dir::Cache="$deps/apt"
    -o Dir::Etc::sourcelist="$deps/apt/sources.list" -o Dir::Etc::sourceparts=- -o Debug::NoLocking=1
    -o APT::Architecture=arm64 -o APT::Architectures::=arm64 -o APT::Architectures::=amd64)
  "${apt[@]}" update
  # Into an empty status: every package the root needs, down to libc6.
  "${apt[@]}" install --download-only -y --no-install-recommends "${arm64_packages[@]}" >/dev/null
  (cd "$deps/apt" && "${apt[@]}" download qemu-user-static:amd64 2>/dev/null)
  for archive in "$deps"/apt/archives/*.deb; do dpkg -x "$archive" "$sysroot"; done
  dpkg -x "$deps"/apt/qemu-user-static_*.deb "$deps/qemu"
  rm -rf "$deps/apt/archives" "$deps"/apt/*.deb
  echo "${arm64_packages[*]}" >"$deps/packages"
fi

# The emulated interpreter: a virtual environment whose python starts qemu with its own name as argv[0], so that
# sys.executable names this script and child interpreters run emulated too.
venv=$deps/python
mkdir -p "$venv/bin"
printf 'home = %s\ninclude-system-site-packages = false\n' "$sysroot/usr/bin" >"$venv/pyvenv.cfg"
printf '#!/bin/sh\nexec "%s" -L "%s" -0 "$0" "%s" "$@"\n' "$qemu" "$sysroot" "$sysroot/usr/bin/python3.11" \
  >"$venv/bin/python"
chmod +x "$venv/bin/python"
site=$venv/lib/python3.11/site-packages
requirements=$(cat scripts/requirements-test.txt)
if [ "$(cat "$venv/requirements" 2>/dev/null)" != "$requirements" ]; then
  rm -rf "$site"
  .venv/bin/python -m pip install -q --disable-pip-version-check --target "$site" --platform manylinux2014_aarch64 \
    --python-version 3.11 --implementation cp --only-binary=:all: -r scripts/requirements-test.txt
  echo "$requirements" >"$venv/requirements"
fi

bash scripts/check-wheel.sh aarch64
wheels=(build/aarch64/wheelhouse/*.whl)

build=build/aarch64/dev
# glpk.h alone: the root's /usr/include would put Debian's glibc headers before zig's own.
mkdir -p "$deps/glpk-include"
cp "$sysroot/usr/include/glpk.h" "$deps/glpk-include/"
emulator="$qemu;-L;$sysroot"
bash scripts/build-variant.sh "$build" -DCMAKE_BUILD_TYPE=Release -DBRENLOX_WERROR="$werror" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/manylinux-toolchain.cmake" -DBRENLOX_ZIG_TARGET=aarch64-linux-gnu.2.17 \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$emulator" -DGLPK_INCLUDE_DIR="$deps/glpk-include" \
  -DGLPK_LIBRARY="$sysroot/usr/lib/aarch64-linux-gnu/libglpk.so"
.venv/bin/ninja -C "$build" -j2 >>"$build/build.log" 2>&1 || { tail -n 100 "$build/build.log"; exit 1; }
echo "aarch64-check: C++ tests under qemu"
.venv/bin/ctest --test-dir "$build" --output-on-failure

rm -rf "$site"/brenlox_copt*
.venv/bin/python -m pip install -q --disable-pip-version-check --no-deps --target "$site" \
  --platform manylinux_2_17_aarch64 --python-version 3.11 --only-binary=:all: --no-index \
  --find-links build/aarch64/wheelhouse brenlox-copt
echo "aarch64-check: pytest under qemu, Debian's arm64 $("$venv/bin/python" -VV | head -1) with $(basename "${wheels[0]}")"
# The benchmark's C++ program is the aarch64 build's, so it runs under the same emulator. The state machine runs the
# start of its sequence here; its whole run is the native suite's.
BRENLOX_STATE_MACHINE="${BRENLOX_STATE_MACHINE:-brief}" \
BRENLOX_BUILD_DIR="$root/$build" BRENLOX_STANDIN="$root/$build/standin" BRENLOX_EMULATOR="$qemu -L $sysroot" \
  "$venv/bin/python" -m pytest -p no:cacheprovider --basetemp="$root/$build/pytest-tmp" "$@"
