#!/usr/bin/env bash
# Builds the documentation site from docs/ into build/docs/html and checks it as a reader would: the build treats
# every warning as an error and runs every sample of the guide and the layer pages against the stand-in solver; then
# every link and anchor within the site must resolve with nothing loaded from elsewhere (scripts/docs_links.py), and
# headless Chromium opens the front page, the API reference, a layer page and the benchmark page
# (scripts/docs_browser.py; screenshots in build/docs/screenshots). Installs what it needs: Debian's python3-doc
# (Python's inventory), chromium and chromium-driver; NumPy's inventory from Debian's python-numpy-doc (fetched with
# an apt state of its own, as bookworm has none); the PyPI packages of scripts/requirements-docs.txt into
# build/docs-deps/site, apart from .venv. Builds on the set-up (.venv, build/).
source "$(dirname "${BASH_SOURCE[0]}")/prologue.sh"
[ -x .venv/bin/python ] || bash scripts/setup.sh
bash scripts/install-debian-packages.sh python3-doc chromium chromium-driver

deps=build/docs-deps
inventories=$deps/inventories
mkdir -p "$inventories"
cp /usr/share/doc/python3-doc/html/objects.inv "$inventories/python.inv"
if [ ! -f "$inventories/numpy.inv" ]; then
  echo "docs: fetching Debian's python-numpy-doc for NumPy's inventory"
  apt_state=$root/$deps/apt
  rm -rf "$apt_state"
  mkdir -p "$apt_state/lists/partial" "$apt_state/archives/partial"
  touch "$apt_state/status"
  mirror=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 'Identifier: Packages' 'Origin: Debian' |
    awk '$2 == "bookworm" { print $1; exit }')
  [ -n "$mirror" ] || { apt-get update -qq; mirror=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' \
    'Identifier: Packages' 'Origin: Debian' | awk '$2 == "bookworm" { print $1; exit }'); }
  echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror trixie main" >"$apt_state/sources.list"
  apt=(apt-get -qq -o Dir::State="$apt_state" -o Dir::State::status="$apt_state/status" -o Dir::Cache="$apt_state"
    -o Dir::Etc::sourcelist="$apt_state/sources.list" -o Dir::Etc::sourceparts=/dev/null -o Debug::NoLocking=1
    -o APT::Sandbox::User=root)
  "${apt[@]}" update
  (cd "$apt_state" && "${apt[@]}" download python-numpy-doc)
  dpkg-deb --fsys-tarfile "$apt_state"/python-numpy-doc_*.deb |
    tar -xO --wildcards '*/html/objects.inv' >"$inventories/numpy.inv.part"
  mv "$inventories/numpy.inv.part" "$inventories/numpy.inv"
  rm -rf "$apt_state"
fi

# The site's packages, reinstalled when their requirements change.
stamp=$(cat scripts/requirements-docs.txt scripts/requirements-layers.txt | sha256sum | cut -c1-16)
if [ "$(cat "$deps/site.stamp" 2>/dev/null)" != "$stamp" ]; then
  echo "docs: installing scripts/requirements-docs.txt into $deps/site"
  rm -rf "$deps/site"
  .venv/bin/python -m pip install -q --disable-pip-version-check --target "$deps/site" -r scripts/requirements-docs.txt
  echo "$stamp" >"$deps/site.stamp"
fi

export PYTHONPATH=$root/$deps/site COPT_HOME=$root/build/standin
rm -rf build/docs/html build/docs/doctrees
started=$SECONDS
.venv/bin/python -m sphinx -W --keep-going -q -b html -d build/docs/doctrees docs build/docs/html
echo "docs: built build/docs/html in $((SECONDS - started)) s: $(find build/docs/html -name "*.html" | wc -l) HTML files," \
  "warnings: 0 (every warning is an error)"
.venv/bin/python scripts/docs_links.py build/docs/html
.venv/bin/python scripts/docs_browser.py build/docs/html build/docs/screenshots
