#!/usr/bin/env bash
# Proves the abi3 wheel on every CPython it promises: installs the release wheel of build/wheelhouse (made by
# scripts/check-wheel.sh) into a fresh virtual environment of CPython 3.11, 3.12, 3.13, 3.14 and 3.15 each and runs
# the pytest suite there; the tests find the stand-in solver and the test-only module in build/. 3.11-3.13 are found
# among pyenv's, else on PATH as python3.X, and skipped with a message only where neither has it. 3.14 and 3.15 are
# Debian sid's, in the private root of scripts/newest-pythons.sh (run through scripts/newest-root.sh); without them
# this fails. The suites run at the same time (pytest uses one core; the machine has two), each into its own log,
# printed in order when all have ended. Arguments go to pytest.
source "$(dirname "${BASH_SOURCE[0]}")/prologue.sh"
wheels=(build/wheelhouse/*.whl)
[ -f "${wheels[0]}" ] || { echo "test-interpreters: no wheel in build/wheelhouse; run scripts/check-wheel.sh"; exit 1; }

# The newest pyenv build of that version, else python3.X on PATH, else nothing.
interpreter() {
  local version=$1 newest
  newest=$(ls -d "${PYENV_ROOT:-$HOME/.pyenv}"/versions/"$version".*/bin/python"$version" 2>/dev/null | sort -V | tail -1)
  if [ -n "$newest" ]; then echo "$newest"; else command -v "python$version" || true; fi
}

newest=(3.14 3.15)
bash scripts/newest-pythons.sh
# Runs a command for the CPython version given first: in the sid root for the newest ones, else here.
run_on() {
  local version=$1
  shift
  case " ${newest[*]} " in
    *" $version "*) bash scripts/newest-root.sh "$@" ;;
    *) "$@" ;;
  esac
}

versions=()
for version in 3.11 3.12 3.13; do
  python=$(interpreter "$version")
  if [ -z "$python" ]; then
    echo "test-interpreters: skipped CPython $version: neither pyenv nor PATH has python$version on this machine"
    continue
  fi
  venv=build/interpreters/$version
  rm -rf "$venv"
  "$python" -m venv "$venv"
  "$venv/bin/python" -m pip install -q --disable-pip-version-check -r scripts/requirements-test.txt "${wheels[0]}"
  versions+=("$version")
done
for version in "${newest[@]}"; do
  venv=build/interpreters/$version
  rm -rf "$venv"
  run_on "$version" "python$version" -m venv "$venv"
  # The root has none of this machine's pip settings (--isolated ignores those passed down): the test dependencies
  # are the wheels fetched for it.
  run_on "$version" "$venv/bin/python" -m pip install --isolated -q --disable-pip-version-check --no-index \
    --find-links "build/newest-pythons/wheels/$version" -r scripts/requirements-test.txt "${wheels[0]}"
  versions+=("$version")
done

echo "test-interpreters: pytest on CPython ${versions[*]} at once (logs in build/interpreters/*/pytest.log)"
pids=()
for version in "${versions[@]}"; do
  venv=build/interpreters/$version
  # Own temporary folders and no shared pytest cache, so the runs cannot touch each other's files.
  # The state machine's whole run is the longest test; the other interpreters run the start of the same sequence.
  profile=brief
  [ "$version" = 3.11 ] && profile=ci
  run_on "$version" env BRENLOX_STATE_MACHINE="${BRENLOX_STATE_MACHINE:-$profile}" \
    "$venv/bin/python" -m pytest -p no:cacheprovider --basetemp="$venv/tmp" "$@" >"$venv/pytest.log" 2>&1 &
  pids+=($!)
done
failed=0
for i in "${!versions[@]}"; do
  status=0
  wait "${pids[$i]}" || status=$?
  venv=build/interpreters/${versions[$i]}
  echo "test-interpreters: $(run_on "${versions[$i]}" "$venv/bin/python" -VV | head -1) with $(basename "${wheels[0]}"):"
  cat "$venv/pytest.log"
  [ "$status" -eq 0 ] || failed=1
done
exit "$failed"
