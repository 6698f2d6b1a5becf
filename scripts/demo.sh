#!/usr/bin/env bash
# Sets everything up, then runs the main job: builds and solves models on the stand-in solver library.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
cd "$root"
COPT_HOME="$root/build/standin" exec .venv/bin/python examples/demo.py
