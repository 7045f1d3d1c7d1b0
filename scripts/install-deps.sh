#!/bin/sh
# Installs every Debian 12 package the project builds, tests and cross-builds with.
# Safe to run again: apt-get skips what is already there.
set -eu
PACKAGES="
  cmake ninja-build g++ pkg-config git dpkg-dev file
  libgtest-dev libgmock-dev libbenchmark-dev
  libx11-dev libxfixes-dev libgl-dev libglu1-mesa-dev libegl-dev libopengl-dev
  libgl1-mesa-dri libegl-mesa0 libglx-mesa0
  libfontconfig-dev libfreetype-dev fonts-dejavu-core
  libpng-dev libfltk1.3-dev
  xvfb xauth x11-utils x11-xserver-utils xdotool imagemagick
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64 zip unzip icoutils
  libxrandr2 libxrender1 libxi6 libxcursor1 libxcomposite1 libxinerama1 libxxf86vm1 libxfixes3
"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f '${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y --no-install-recommends $missing
