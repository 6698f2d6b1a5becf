#!/usr/bin/env bash
# Installs what the project needs (Debian and PyPI packages, a virtual environment in .venv), then builds the module,
# the stand-in solver library and the test-only pieces into build/. Safe to run again: it only does what is missing.
source "$(dirname "${BASH_SOURCE[0]}")/prologue.sh"

bash scripts/install-debian-packages.sh g++ make libglpk-dev doctest-dev python3-venv python3-dev valgrind

if [ ! -x .venv/bin/python ]; then
  echo "setup: creating .venv"
  python3 -m venv .venv
fi
.venv/bin/python -m pip install -q --disable-pip-version-check -r scripts/requirements-dev.txt

bash scripts/build.sh
