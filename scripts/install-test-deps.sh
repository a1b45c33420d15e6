#!/usr/bin/env bash
# Installs what only the tests need: the spreadsheet programs that the
# workbook tests compare with (LibreOffice's soffice, Gnumeric's ssconvert),
# poppler's pdftotext and pdfinfo, which read back the PDFs we print,
# Debian's python3-openpyxl, which writes workbooks of the corpus test, and
# what drives the window from outside as a person and a screen reader do:
# xdotool's real X events, AT-SPI through pyatspi on a session bus.
# The program itself runs without them.
set -euo pipefail

PACKAGES=(libreoffice-calc-nogui gnumeric poppler-utils python3-openpyxl
  xvfb xauth xdotool dbus dbus-x11 at-spi2-core python3-pyatspi)

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
