#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program (under a virtual display with a
# tray when there is no display).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
if [ -n "${DISPLAY:-}" ]; then
  exec build/veltry
fi
echo "No display: running under Xvfb (display :77). Take a look with: DISPLAY=:77 import -window root shot.png"
Xvfb :77 -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1
export DISPLAY=:77
trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 >/dev/null 2>&1 &
build/veltry
