#!/usr/bin/env bash
# Prepares, once and cached in build/newest-pythons, what the pytest suite needs on the newest CPythons: a private
# Debian sid root (debootstrap, minimal) with Debian's python3.14 and python3.15 (with venv and headers), the GLPK the
# stand-in solver links and binutils (its tests read its exports with nm); and the test dependencies' wheels for each,
# fetched here by the project's pip. scripts/newest-root.sh runs commands in that root. Fails with one line when the
# packages cannot be had.
source "$(dirname "${BASH_SOURCE[0]}")/prologue.sh"
versions=(3.14 3.15)
packages=(libglpk40 binutils)
for version in "${versions[@]}"; do packages+=("python$version" "python$version-venv" "python$version-dev"); done
out=build/newest-pythons
sysroot=$out/root
ready=$sysroot/.brenlox-packages

if [ "$(cat "$ready" 2>/dev/null)" != "${packages[*]}" ]; then
  bash scripts/install-debian-packages.sh debootstrap
  rm -rf "$sysroot"
  mkdir -p "$out"
  echo "newest-pythons: making a Debian sid root with ${packages[*]} (a few minutes, once)"
  if ! debootstrap --variant=minbase --include="$(IFS=,; echo "${packages[*]}")" sid "$sysroot" \
    >"$out/debootstrap.log" 2>&1; then
    cause=$(grep -m1 '^E: ' "$out/debootstrap.log" || tail -1 "$out/debootstrap.log")
    echo "newest-pythons: FAILED: the tests need Debian sid's ${packages[*]}, which cannot be had here ($cause)"
    exit 1
  fi
  echo "${packages[*]}" >"$ready"
fi

for version in "${versions[@]}"; do
  # Any glibc-based wheel runs on sid's glibc; pip takes the newest tag that each package offers.
  .venv/bin/python -m pip download -q --disable-pip-version-check --only-binary=:all: -d "$out/wheels/$version" \
    --python-version "$version" --implementation cp --platform manylinux_2_28_x86_64 --platform manylinux_2_17_x86_64 \
    --platform manylinux2014_x86_64 --platform manylinux_2_5_x86_64 -r scripts/requirements-test.txt \
    >"$out/wheels-$version.log" 2>&1 \
    || { echo "newest-pythons: FAILED: no wheels of the test dependencies for CPython $version (see $out/wheels-$version.log)"; exit 1; }
done
echo "newest-pythons: $(for version in "${versions[@]}"; do
  chroot "$sysroot" "python$version" -c 'import sys; print(sys.version.split()[0], end=" ")'; done)in $sysroot"
