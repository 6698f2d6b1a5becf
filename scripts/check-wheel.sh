#!/usr/bin/env bash
# Builds the wheel from the already configured build/ (unstripped), then checks what users would install: one
# cp311-abi3 wheel holding only the module and its stub package, an extension file ending in .abi3.so, abi3audit
# --strict clean, and no link-time dependency on any solver library.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
wheelhouse=build/wheelhouse
rm -rf "$wheelhouse"
exec 9>build/.lock
flock 9
.venv/bin/python -m pip wheel -q --disable-pip-version-check --no-build-isolation --no-deps -w "$wheelhouse" \
  -Cbuild-dir=build -Ccmake.build-type=RelWithDebInfo -Cinstall.strip=false .
flock -u 9

wheels=("$wheelhouse"/*.whl)
[ ${#wheels[@]} -eq 1 ] || { echo "check-wheel: expected one wheel, found ${#wheels[@]}"; exit 1; }
wheel=${wheels[0]}
case "$wheel" in
  *-cp311-abi3-*.whl) ;;
  *) echo "check-wheel: $wheel is not a cp311-abi3 wheel"; exit 1 ;;
esac
if ! audit=$(.venv/bin/abi3audit --strict "$wheel" 2>&1); then echo "$audit"; exit 1; fi

contents=$(.venv/bin/python -m zipfile -l "$wheel" | awk 'NR > 1 {print $1}' | grep -v '\.dist-info/')
expected=$(printf '%s\n' brenlox_copt-stubs/__init__.pyi brenlox_copt.abi3.so)
if [ "$(LC_ALL=C sort <<<"$contents")" != "$expected" ]; then
  echo "check-wheel: the wheel should hold exactly the module and its stubs, but holds:"; echo "$contents"; exit 1
fi
extract=$(mktemp -d)
trap 'rm -rf "$extract"' EXIT
.venv/bin/python -m zipfile -e "$wheel" "$extract"
if readelf -d "$extract/brenlox_copt.abi3.so" | grep -i -E 'NEEDED.*(copt|glpk|standin)'; then
  echo "check-wheel: the module links a solver library"; exit 1
fi
echo "check-wheel: $(basename "$wheel") is cp311-abi3, abi3audit --strict clean, module and stubs only, no solver linked"
