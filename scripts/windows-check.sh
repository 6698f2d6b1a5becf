#!/usr/bin/env bash
# Usage: windows-check.sh [3.11|3.12|3.13 ...]   (default 3.11)
# The Windows check: cross-builds with mingw-w64 into build/windows/ the backend, fake solver DLLs and a Windows test
# program, the Windows stand-in solver (GLPK inside) and the module as a cp311-abi3-win_amd64 wheel (against a real
# Windows CPython's python3.dll and headers); runs the test program under Wine, then installs the wheel with pip into
# each named official Windows CPython (scripts/windows-python.sh) and runs the pytest suite there under Wine.
# Installs what it needs first; the interpreters, GLPK and the sources it needs are cached in build/windows-deps.
source "$(dirname "${BASH_SOURCE[0]}")/prologue.sh"
versions=("${@:-3.11}")

packages=(g++-mingw-w64-x86-64 mingw-w64-tools wine64 doctest-dev unzip)
# The project's virtual environment brings CMake, Ninja and pip.
[ -x .venv/bin/cmake ] || bash scripts/setup.sh
export PATH="$root/.venv/bin:$PATH"
bash scripts/install-debian-packages.sh "${packages[@]}"
deps=build/windows-deps
bash scripts/windows-python.sh "${versions[@]}"
bash scripts/windows-glpk.sh
bash scripts/debian-source.sh python3.11 "$deps/sources/python3.11"

build=build/windows
cmake -S tests/windows -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRENLOX_WERROR="$werror" \
  -DBRENLOX_PYTHON_SOURCE_DIR="$root/$deps/sources/python3.11" -DBRENLOX_PYTHON3_DLL="$root/$deps/cp311/python3.dll" \
  -DGLPK_INCLUDE_DIR="$root/$deps/glpk/include" -DGLPK_LIBRARY="$root/$deps/glpk/lib/libglpk.a" \
  -DCMAKE_TOOLCHAIN_FILE="$root/tests/windows/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build" -j2
rm -rf "$build/wheelhouse"
.venv/bin/python scripts/pack_wheel.py "$build/python/brenlox_copt.pyd" cp311-abi3-win_amd64 "$build/wheelhouse"
.venv/bin/python scripts/wheel_contents.py "$build"/wheelhouse/*.whl brenlox_copt.pyd

# Wine talks a lot on stderr and would offer to install Mono and Gecko into a new prefix; neither is wanted.
export WINEPREFIX="$root/$deps/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
[ -d "$WINEPREFIX" ] || "$wine" wineboot --init >/dev/null 2>&1
"$wine" "$build/library_windows_test.exe"

for version in "${versions[@]}"; do
  home="$deps/cp${version/./}"
  site="$home/Lib/site-packages"
  rm -rf "$site"/brenlox_copt*
  .venv/bin/python -m pip install -q --disable-pip-version-check --no-deps --target "$site" --platform win_amd64 \
    --python-version "$version" --only-binary=:all: --no-index --find-links "$build/wheelhouse" brenlox-copt
  echo "windows-check: pytest under Wine, Windows CPython $version"
  # CPython cannot set up its standard streams on Wine's view of a terminal or a file: it needs pipes.
  # The stand-in's bin folder on PATH, as COPT's installer puts its own: copt.dll's dependency (the stand-in's
  # state library) is found by the standard search order, which does not look beside copt.dll.
  # The state machine runs the start of its sequence here; its whole run is the native suite's.
  WINEPATH="Z:$root/$build/standin/bin" BRENLOX_STATE_MACHINE="${BRENLOX_STATE_MACHINE:-brief}" \
  BRENLOX_STANDIN="Z:$root/$build/standin" BRENLOX_BUILD_DIR="Z:$root/$build" \
    "$wine" "$home/python.exe" -m pytest -p no:cacheprovider -rs "$root/tests" </dev/null 2>&1 | cat
done
