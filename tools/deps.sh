#!/usr/bin/env bash
# Installs the Debian packages Tamarind needs to build, run and test, but only
# those that are missing, so a second run does nothing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config mold
  qt6-base-dev qt6-qpa-plugins libgl-dev libxcb1-dev
  qt6-translations-l10n
  libjpeg62-turbo-dev libjpeg-turbo-progs
  qt6-image-formats-plugins libheif-dev libde265-0 libdav1d6
  libgtest-dev
  xvfb xauth openbox x11-utils xclip desktop-file-utils
  fonts-ipafont-gothic fonts-ipafont-mincho
  fonts-liberation2 fonts-urw-base35
  libimage-exiftool-perl
  poppler-utils cups-daemon cups-client libcups2-dev
  libglib2.0-bin
)
# The benchmarks compare thumbnails with ImageMagick's reductions.
if [ "${1:-}" = "--bench" ]; then
  packages+=(imagemagick)
fi
if [ "${1:-}" = "--fuzz" ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
else
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
