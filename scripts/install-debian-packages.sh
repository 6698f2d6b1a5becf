#!/usr/bin/env bash
# Installs the named Debian packages that are not installed yet (through sudo when not root); does nothing otherwise.
set -euo pipefail
# One install at a time: the test command prepares some things side by side, and apt allows one caller.
exec 9>"${TMPDIR:-/tmp}/brenlox-debian-packages.lock"
flock 9
missing=()
for package in "$@"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "installing Debian packages: ${missing[*]}"
  sudo_cmd=(); [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
