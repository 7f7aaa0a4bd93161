#!/usr/bin/env bash
# Cross-builds libjpeg-turbo for 64-bit Windows from Debian's own source
# package into build/windows-deps/prefix (static library, SIMD on), where the
# `windows` preset's find_package(JPEG) looks for it.
#
# Runs once: a stamp in the prefix records what was built; delete the prefix
# (or build/windows-deps) to force a rebuild.
#
# Usage: tools/build-windows-deps.sh [-j N]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
deps=$root/build/windows-deps
prefix=$deps/prefix
toolchain=$root/cmake/mingw-w64-x86_64.cmake
jobs=$(nproc 2>/dev/null || echo 2)
if [ "${1:-}" = "-j" ] && [ -n "${2:-}" ]; then jobs=$2; fi

log() { printf '[windows-deps] %s\n' "$*"; }

# What the prefix must have been built from: the Debian source version (as
# apt knows it now, or whatever is already unpacked when apt cannot say) plus
# this script and the toolchain file.
debian_version=$(apt-cache showsrc libjpeg-turbo 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -n 1 || true)
recipe=$(cat "$0" "$toolchain" | sha256sum | cut -c1-16)
stamp=$prefix/.velmora-deps-stamp
want="libjpeg-turbo ${debian_version:-unknown} recipe $recipe"

if [ -f "$stamp" ] && [ -f "$prefix/lib/libjpeg.a" ] && [ -f "$prefix/include/jpeglib.h" ]; then
  have=$(cat "$stamp")
  if [ "$have" = "$want" ] || { [ -z "$debian_version" ] && [[ "$have" == *"recipe $recipe" ]]; }; then
    log "up to date ($have), nothing to do"
    exit 0
  fi
fi

mkdir -p "$deps/src"
cd "$deps/src"

srcdir=$(find . -maxdepth 1 -type d -name 'libjpeg-turbo-*' | sort -V | tail -n 1)
if [ -n "$srcdir" ] && [ -n "$debian_version" ] && [ ! -f "libjpeg-turbo_${debian_version#*:}.dsc" ]; then
  # A different Debian version is unpacked: start from a clean source tree.
  rm -rf ./libjpeg-turbo*
  srcdir=""
fi
if [ -z "$srcdir" ]; then
  if ! compgen -G "/var/lib/apt/lists/*_source_Sources*" > /dev/null; then
    echo "error: no deb-src index; run tools/setup.sh first" >&2
    exit 1
  fi
  log "fetching Debian's libjpeg-turbo source package"
  # apt-get unpacks it and applies Debian's patches (needs dpkg-dev).
  apt-get source -qq libjpeg-turbo 2>&1 | grep -v 'unsandboxed as root' || true
  srcdir=$(find . -maxdepth 1 -type d -name 'libjpeg-turbo-*' | sort -V | tail -n 1)
  if [ -z "$srcdir" ]; then
    echo "error: apt-get source libjpeg-turbo did not unpack a source tree" >&2
    exit 1
  fi
fi
srcdir=$(cd "$srcdir" && pwd)
log "building $(basename "$srcdir") for x86_64-w64-mingw32"

builddir=$deps/build
rm -rf "$builddir" "$prefix"
cmake -S "$srcdir" -B "$builddir" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DCMAKE_ASM_NASM_COMPILER=nasm \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
  -DWITH_SIMD=ON -DREQUIRE_SIMD=ON \
  -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF \
  -DWITH_CRT_DLL=OFF \
  > "$deps/configure.log" 2>&1 || { cat "$deps/configure.log" >&2; exit 1; }
cmake --build "$builddir" -j "$jobs" > "$deps/build.log" 2>&1 || { tail -n 60 "$deps/build.log" >&2; exit 1; }
cmake --install "$builddir" > "$deps/install.log" 2>&1 || { cat "$deps/install.log" >&2; exit 1; }

# Only the static library, never an import library, may be found.
rm -f "$prefix"/lib/*.dll.a "$prefix"/bin/*.dll
test -f "$prefix/lib/libjpeg.a"
test -f "$prefix/include/jpeglib.h"

printf '%s\n' "$want" > "$stamp"
log "installed into $prefix"
