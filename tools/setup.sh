#!/usr/bin/env bash
# Installs every Debian package the two builds and their tests need, and
# enables source packages (libjpeg-turbo, libde265 and libheif are
# cross-built from Debian's own sources for the Windows target). Safe to run
# again.
set -euo pipefail

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

# Source entries for the archives the machine already uses.
src_list=/etc/apt/sources.list.d/velmora-src.sources
if [ ! -f "$src_list" ]; then
  tmp=$(mktemp)
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > "$tmp"
  elif [ -f /etc/apt/sources.list ]; then
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' > "$tmp"
    src_list=/etc/apt/sources.list.d/velmora-src.list
  fi
  $SUDO install -m 644 "$tmp" "$src_list"
  rm -f "$tmp"
fi

packages=(
  build-essential cmake ninja-build pkg-config dpkg-dev
  g++-mingw-w64-x86-64-posix nasm
  googletest libgtest-dev libgmock-dev libbenchmark-dev libjpeg62-turbo-dev
  libheif-dev libde265-dev libheif-examples
  wine wine64 xvfb x11-utils x11-apps xdotool imagemagick
  fonts-wqy-microhei
  xserver-xorg-core xserver-xorg-video-dummy
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
need_update=0
[ ${#missing[@]} -gt 0 ] && need_update=1
# The source index is needed for `apt-get source`.
compgen -G "/var/lib/apt/lists/*_source_Sources*" > /dev/null || need_update=1
if [ "$need_update" = 1 ]; then
  $SUDO apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
