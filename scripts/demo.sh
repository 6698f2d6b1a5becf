#!/usr/bin/env bash
# Sets everything up, then runs the main job: builds and solves models on the stand-in solver library.
source "$(dirname "${BASH_SOURCE[0]}")/prologue.sh"
bash scripts/setup.sh
COPT_HOME="$root/build/standin" exec .venv/bin/python examples/demo.py
