#!/usr/bin/env bash
# Usage: newest-root.sh COMMAND [ARGUMENT ...]
# Runs COMMAND in the Debian sid root of scripts/newest-pythons.sh, from the repository's folder, which is mounted there
# at its own path, so build/ and tests/ are the same files inside and out. The mounts live in a mount namespace of the
# command's own and vanish with it however it ends, so nothing is left mounted. Needs root (chroot and mount).
source "$(dirname "${BASH_SOURCE[0]}")/prologue.sh"
sysroot=$root/build/newest-pythons/root
[ -f "$sysroot/.brenlox-packages" ] || { echo "newest-root: no root in $sysroot; run scripts/newest-pythons.sh"; exit 1; }
exec unshare --mount --propagation private /bin/sh -euc '
  sysroot=$1 root=$2
  shift 2
  mkdir -p "$sysroot$root"
  mount --bind "$root" "$sysroot$root"
  mount -t proc proc "$sysroot/proc"
  mount -t tmpfs shm "$sysroot/dev/shm"
  exec chroot "$sysroot" /bin/sh -c "cd \"\$0\" && exec \"\$@\"" "$root" "$@"
' newest-root "$sysroot" "$root" "$@"
