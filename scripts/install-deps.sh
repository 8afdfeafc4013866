#!/usr/bin/env bash
# Installs everything the project needs to build, test and run on Debian 12.
# Idempotent; run as root (or through sudo).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev
  libcli11-dev libpng-dev libsdl2-dev libsndfile1-dev zlib1g-dev libz80ex-dev libzstd-dev
  qt6-base-dev libgl-dev
  z80asm
  pasmo sdcc clang libclang-rt-dev libclang-rt-14-dev gcovr
  xvfb xdotool x11-utils imagemagick
  desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
