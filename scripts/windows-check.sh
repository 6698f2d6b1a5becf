#!/usr/bin/env bash
# The Windows check: cross-builds the backend, fake solver DLLs, a Windows test program and the whole extension
# module (brenlox_copt.pyd against python3.dll's stable ABI, its imports and exports checked) with mingw-w64 into
# build/windows/, then runs the test program and a load of the module under Wine with a private Wine prefix there.
# Installs what it needs first.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

packages=(g++-mingw-w64-x86-64 wine64 doctest-dev python3-dev)
# The project's virtual environment brings CMake and Ninja; without it, Debian's serve.
if [ -x .venv/bin/cmake ] && [ -x .venv/bin/ninja ]; then
  cmake=.venv/bin/cmake
  export PATH="$root/.venv/bin:$PATH"
else
  packages+=(cmake ninja-build)
  cmake=cmake
fi
bash scripts/install-debian-packages.sh "${packages[@]}"

build=build/windows
werror=OFF
[ -n "${CI:-}" ] && werror=ON
# The module is compiled against this machine's Python headers, made Windows-shaped by the project (tests/windows).
python=python3
[ -x .venv/bin/python ] && python=.venv/bin/python
python_include=$("$python" -c 'import sysconfig; print(sysconfig.get_paths()["include"])')
"$cmake" -S tests/windows -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRENLOX_WERROR="$werror" \
  -DBRENLOX_PYTHON_INCLUDE_DIR="$python_include" \
  -DCMAKE_TOOLCHAIN_FILE="$root/tests/windows/mingw-w64-x86_64.cmake" >/dev/null
"$cmake" --build "$build" -j2

# Wine talks a lot on stderr and would offer to install Mono and Gecko into a new prefix; neither is wanted.
export WINEPREFIX="$root/$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
[ -d "$WINEPREFIX" ] || "$wine" wineboot --init >/dev/null 2>&1
"$wine" "$build/library_windows_test.exe" "$@"
# The module loaded through the Windows loader against a python3.dll stand-in (no Windows interpreter exists here).
"$wine" "$build/python/module_load_test.exe"
