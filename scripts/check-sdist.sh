#!/usr/bin/env bash
# Builds the sdist from a clean copy of the committed tree (local build folders hold gigabytes the sdist must not even
# look at), then installs it into a new, empty virtual environment the way a user without the repository would
# (isolated build from the sdist alone, release settings) and imports the module from there. The sdist carries the
# licence and the changelog.
source "$(dirname "${BASH_SOURCE[0]}")/prologue.sh"
out=build/sdist-check
rm -rf "$out"
mkdir -p "$out"
git clone -q --no-hardlinks "$root" "$out/src"
.venv/bin/python -m build --sdist --outdir "$out" "$out/src" >"$out/build.log" 2>&1 || { cat "$out/build.log"; exit 1; }
sdists=("$out"/*.tar.gz)
[ ${#sdists[@]} -eq 1 ] || { echo "check-sdist: expected one sdist, found ${#sdists[@]}"; exit 1; }
listing=$(tar -tzf "${sdists[0]}")
for file in LICENSE CHANGELOG.md src/modelling/brenlox_copt_modelling/pulp.py; do
  grep -q -x "brenlox_copt-0.1.0/$file" <<<"$listing" || { echo "check-sdist: no $file in the sdist"; exit 1; }
done
python3 -m venv "$out/venv"
"$out/venv/bin/python" -m pip install -q --disable-pip-version-check "${sdists[0]}" >"$out/install.log" 2>&1 \
  || { cat "$out/install.log"; exit 1; }
all=$(cd "$out" && venv/bin/python -c "import brenlox_copt, brenlox_copt_modelling; print(brenlox_copt.__all__)")
[ "$all" = "['COPT', 'Env', 'EnvrConfig', 'Model']" ] || { echo "check-sdist: unexpected module: $all"; exit 1; }
echo "check-sdist: $(basename "${sdists[0]}") builds from scratch in a new virtual environment and imports (the module and the modelling adapters' package)"
