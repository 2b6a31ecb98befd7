#!/usr/bin/env bash
# Pictures of the add/edit task dialog under Xvfb: both panels expanded, both collapsed, and the
# pop-up calendar in its day and month views. They come from the dialog's widget test, which
# grabs them when VELTRY_SHOTS names a folder.
# Usage: [QT_SCALE_FACTOR=2] scripts/screenshots-addtask.sh [build folder] [output folder]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD="$(realpath "${1:-build}")"
OUT="$(realpath -m "${2:-screenshots}")"
mkdir -p "$OUT"
cmake --build "$BUILD" --target wtst_addtask -j2 >/dev/null
TMP="$(mktemp -d /tmp/veltry-shots-XXXXXX)"
XPID=""
cleanup() {
  [ -n "$XPID" ] && kill "$XPID" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$TMP"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 2048x1400x24 -nolisten tcp 3>"$TMP/display" >/dev/null 2>&1 &
XPID=$!
for _ in $(seq 100); do [ -s "$TMP/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$TMP/display")"
export QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8 TZ=UTC VELTRY_SHOTS="$OUT"
unset SESSION_MANAGER
"$BUILD/tests/wtst_addtask" screenshots >/dev/null
ls "$OUT"/addtask-*.png "$OUT"/calendar-*.png
