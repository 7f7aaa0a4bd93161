#!/usr/bin/env bash
# Cross-builds libjpeg-turbo, libde265 and libheif for 64-bit Windows from
# Debian's own source packages into build/windows-deps/prefix (static
# libraries; libjpeg-turbo with SIMD on; libheif with its HEVC decoder
# libde265 built in and nothing else: no encoders, no AV1, no plugins), where
# the `windows` preset's find_package(JPEG) and find_package(Heif) look.
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
heif_stamp=$prefix/.velmora-heif-stamp
heif_versions() { apt-cache showsrc "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -rV | uniq || true; }
heif_want="libde265 $(heif_versions libde265 | head -n 1) libheif $(heif_versions libheif | head -n 1) recipe $recipe"

heif_up_to_date() {
  [ -f "$heif_stamp" ] && [ -f "$prefix/lib/libheif.a" ] && [ -f "$prefix/lib/libde265.a" ] || return 1
  local have
  have=$(cat "$heif_stamp")
  [[ "$have" == "$heif_want"* ]] || { [[ "$heif_want" == "libde265  libheif  recipe"* ]] && [[ "$have" == *"recipe $recipe"* ]]; }
}

# Fetches and unpacks Debian's source package $1 into the current directory
# (nothing when a tree for it is already there). The newest version apt knows
# is tried first; when the archive no longer serves it (a security update
# whose source moved), the next one down.
fetch_source() {
  local name=$1 dir v
  dir=$(find . -maxdepth 1 -type d -name "$name-[0-9]*" | sort -V | tail -n 1)
  if [ -n "$dir" ]; then echo "$dir"; return 0; fi
  if ! compgen -G "/var/lib/apt/lists/*_source_Sources*" > /dev/null; then
    echo "error: no deb-src index; run tools/setup.sh first" >&2
    return 1
  fi
  for v in $(heif_versions "$name"); do
    log "fetching Debian's $name $v source package" >&2
    if apt-get source -qq "$name=$v" > "$deps/fetch-$name.log" 2>&1; then break; fi
    rm -rf ./"$name"[-_]*
  done
  dir=$(find . -maxdepth 1 -type d -name "$name-[0-9]*" | sort -V | tail -n 1)
  if [ -z "$dir" ]; then
    echo "error: apt-get source $name did not unpack a source tree" >&2
    cat "$deps/fetch-$name.log" >&2 || true
    return 1
  fi
  echo "$dir"
}

# libde265 (decoder library only) then libheif on top of it. Separate from
# libjpeg-turbo so an existing libjpeg-turbo prefix is kept as it is.
build_heif() {
  if heif_up_to_date; then
    log "libheif up to date ($(cat "$heif_stamp")), nothing to do"
    return 0
  fi
  mkdir -p "$deps/src"
  cd "$deps/src"
  local de265_src heif_src
  de265_src=$(cd "$(fetch_source libde265)" && pwd)
  heif_src=$(cd "$(fetch_source libheif)" && pwd)
  rm -f "$prefix"/lib/libde265.a "$prefix"/lib/libheif.a "$heif_stamp"
  rm -rf "$prefix"/include/libde265 "$prefix"/include/libheif

  log "building $(basename "$de265_src") for x86_64-w64-mingw32"
  rm -rf "$deps/build-de265"
  cmake -S "$de265_src" -B "$deps/build-de265" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF -DENABLE_SDL=OFF \
    -DENABLE_DECODER=OFF -DENABLE_ENCODER=OFF \
    > "$deps/configure-de265.log" 2>&1 || { cat "$deps/configure-de265.log" >&2; exit 1; }
  cmake --build "$deps/build-de265" -j "$jobs" > "$deps/build-de265.log" 2>&1 || { tail -n 60 "$deps/build-de265.log" >&2; exit 1; }
  cmake --install "$deps/build-de265" > "$deps/install-de265.log" 2>&1 || { cat "$deps/install-de265.log" >&2; exit 1; }

  log "building $(basename "$heif_src") for x86_64-w64-mingw32"
  rm -rf "$deps/build-heif"
  cmake -S "$heif_src" -B "$deps/build-heif" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF -DENABLE_PLUGIN_LOADING=OFF \
    -DWITH_LIBDE265=ON -DWITH_LIBDE265_PLUGIN=OFF \
    -DLIBDE265_INCLUDE_DIR="$prefix/include" -DLIBDE265_LIBRARY="$prefix/lib/libde265.a" \
    -DWITH_X265=OFF -DWITH_DAV1D=OFF -DWITH_AOM_ENCODER=OFF -DWITH_AOM_DECODER=OFF \
    -DWITH_SvtEnc=OFF -DWITH_RAV1E=OFF -DWITH_JPEG_DECODER=OFF -DWITH_JPEG_ENCODER=OFF \
    -DWITH_OpenJPEG_DECODER=OFF -DWITH_OpenJPEG_ENCODER=OFF \
    -DWITH_EXAMPLES=OFF -DWITH_GDK_PIXBUF=OFF -DBUILD_TESTING=OFF \
    -DCMAKE_DISABLE_FIND_PACKAGE_Doxygen=ON \
    > "$deps/configure-heif.log" 2>&1 || { cat "$deps/configure-heif.log" >&2; exit 1; }
  cmake --build "$deps/build-heif" -j "$jobs" > "$deps/build-heif.log" 2>&1 || { tail -n 60 "$deps/build-heif.log" >&2; exit 1; }
  cmake --install "$deps/build-heif" > "$deps/install-heif.log" 2>&1 || { cat "$deps/install-heif.log" >&2; exit 1; }

  rm -f "$prefix"/lib/*.dll.a "$prefix"/bin/*.dll
  test -f "$prefix/lib/libde265.a"
  test -f "$prefix/lib/libheif.a"
  test -f "$prefix/include/libheif/heif.h"
  # What was really built: the source packages' descriptions beside the trees.
  local built
  built=$(cd "$deps/src" && ls libde265_*.dsc libheif_*.dsc 2>/dev/null | tr '\n' ' ' || true)
  printf '%s (built from %s)\n' "$heif_want" "${built% }" > "$heif_stamp"
  log "libde265 and libheif installed into $prefix"
}

if [ -f "$stamp" ] && [ -f "$prefix/lib/libjpeg.a" ] && [ -f "$prefix/include/jpeglib.h" ]; then
  have=$(cat "$stamp")
  if [ "$have" = "$want" ] || { [ -z "$debian_version" ] && [[ "$have" == *"recipe $recipe" ]]; }; then
    log "up to date ($have), nothing to do"
    build_heif
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
build_heif
