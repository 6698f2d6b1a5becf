#!/usr/bin/env bash
# Cross-compiles GLPK from Debian's source package into a static Windows library for the Windows stand-in's engine:
# build/windows-deps/glpk/{include/glpk.h,lib/libglpk.a}. Done once; a second run returns at once.
source "$(dirname "${BASH_SOURCE[0]}")/prologue.sh"
deps=build/windows-deps
prefix="$root/$deps/glpk"
[ -f "$prefix/lib/libglpk.a" ] && exit 0

bash scripts/install-debian-packages.sh gcc-mingw-w64-x86-64 make
bash scripts/debian-source.sh glpk "$deps/sources/glpk"
work="$deps/glpk-build"
rm -rf "$work" "$prefix"
mkdir -p "$work"
echo "windows-glpk: cross-compiling GLPK (a few minutes, once)"
# Static, so the stand-in's copt.dll holds all of it. __WOE__ selects GLPK's own Windows code (gmtime_s and the like
# in place of POSIX's _r functions); its warnings are not ours to fix. Only the library: no example programs.
(cd "$work" && "$root/$deps/sources/glpk/configure" -q --host=x86_64-w64-mingw32 --prefix="$prefix" \
   --disable-shared --enable-static CFLAGS="-O2 -w -D__WOE__" >/dev/null &&
 make -s -C src -j"$(nproc)" >/dev/null && make -s -C src install >/dev/null)
rm -rf "$work"
