#!/usr/bin/env bash
# Usage: debian-source.sh PACKAGE DESTINATION
# Unpacks the upstream source of Debian's source package PACKAGE (bookworm) into DESTINATION, once. apt reads a
# private deb-src list with the same mirror as the machine's own Debian sources, so the system's apt state is untouched.
set -euo pipefail
package=$1
destination=$(realpath -m "$2")
[ -d "$destination" ] && exit 0

work="$destination.download"
rm -rf "$work"
mkdir -p "$work/lists/partial"
mirror=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(TARGET_OF)' |
  awk '$2 == "bookworm" && $3 == "deb" { print $1; exit }')
[ -n "$mirror" ] || { echo "debian-source: no bookworm mirror in apt's configuration" >&2; exit 1; }
echo "deb-src $mirror bookworm main" >"$work/sources.list"
apt_options=(-o "Dir::Etc::SourceList=$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
             -o "Dir::State::Lists=$work/lists" -o Debug::NoLocking=1)
apt-get "${apt_options[@]}" update -qq
(cd "$work" && apt-get "${apt_options[@]}" source --download-only -qq "$package" >/dev/null)

orig=("$work"/*.orig.tar.*)
[ -f "${orig[0]}" ] || { echo "debian-source: no upstream tarball for $package" >&2; exit 1; }
mkdir -p "$work/tree"
tar -xf "${orig[0]}" -C "$work/tree" --strip-components=1
mv "$work/tree" "$destination"
rm -rf "$work"
