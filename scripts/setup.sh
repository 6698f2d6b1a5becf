#!/usr/bin/env bash
# Installs what the project needs (Debian and PyPI packages, a virtual environment in .venv), then builds the module,
# the stand-in solver library and the test-only pieces into build/. Safe to run again: it only does what is missing.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

debian_packages=(g++ make libglpk-dev doctest-dev python3-venv python3-dev)
missing=()
for package in "${debian_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "setup: installing Debian packages: ${missing[*]}"
  sudo_cmd=(); [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi

if [ ! -x .venv/bin/python ]; then
  echo "setup: creating .venv"
  python3 -m venv .venv
fi
.venv/bin/python -m pip install -q --disable-pip-version-check -r scripts/requirements-dev.txt

bash scripts/build.sh
