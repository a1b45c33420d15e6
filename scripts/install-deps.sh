#!/usr/bin/env bash
# Installs every Debian package the build, the program and the tests need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build clang pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-odbc
  qt6-multimedia-dev qt6-svg-dev libqt6svg6 qt6-translations-l10n
  unixodbc-dev tdsodbc libsqliteodbc
  libsqlite3-dev  # the keys of a long result straight from the library Qt's driver uses
  libjpeg62-turbo-dev libgsf-1-dev liborcus-dev libchm-dev fp-utils
  zlib1g-dev  # deflate for the .xlsx lists, written straight to their file
  libdeflate-dev  # unpacking package parts whole, twice as fast as zlib
  fonts-ipafont-gothic fonts-ipafont-mincho
  googletest libgtest-dev libbenchmark-dev
  xvfb xauth imagemagick
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
