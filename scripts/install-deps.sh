#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need; does nothing when all
# are present.
set -euo pipefail
packages=(
  cmake g++ make clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6svg6-dev libgl-dev
  libbenchmark-dev libical-dev
  xvfb xauth xdotool x11-utils trayer imagemagick
  cups printer-driver-cups-pdf poppler-utils libcups2-dev
  fonts-liberation2 fonts-dejavu-core
  desktop-file-utils appstream dpkg-dev
  python3-icalendar
  qtkeychain-qt6-dev radicale python3-caldav xandikos
  dbus-daemon python3-dbus python3-gi weston qt6-wayland
  dbus at-spi2-core python3-pyatspi
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
