# What the screenshot scripts share, to be sourced with the script's own arguments:
# [program] [output folder]. The program runs from a folder of its own with XDG folders in a
# temporary folder, under its own Xvfb with a window manager where one is installed.
set -euo pipefail
cd "$(dirname "$0")/.."
BIN="$(realpath "${1:-build/veltry}")"
OUT="$(realpath -m "${2:-screenshots}")"
mkdir -p "$OUT"
TMP="$(mktemp -d /tmp/veltry-shots-XXXXXX)"
PIDS=()
cleanup() {
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$TMP"
}
trap cleanup EXIT

mkdir -p "$TMP/prog" "$TMP/config" "$TMP/data" "$TMP/run"
chmod 700 "$TMP/run"
cp "$BIN" "$TMP/prog/veltry"
export XDG_CONFIG_HOME="$TMP/config" XDG_DATA_HOME="$TMP/data" XDG_RUNTIME_DIR="$TMP/run"
export QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8
unset SESSION_MANAGER

# QT_SCALE_FACTOR (for example 1.5 or 2) shows the windows as on a high-resolution screen: the
# screen and the positions the scripts point at grow with it.
SCALE="${QT_SCALE_FACTOR:-1}"
px() { awk -v n="$1" -v s="$SCALE" 'BEGIN { printf "%d", n * s + 0.5 }'; }

# Xvfb with a screen of $1 (WIDTHxHEIGHT, before scaling), then the program; its pid is in APP.
start_program() {
  local screen="$(px "${1%x*}")x$(px "${1#*x}")"
  Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp 3>"$TMP/display" >/dev/null 2>&1 &
  PIDS+=($!)
  for _ in $(seq 100); do [ -s "$TMP/display" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -n1 "$TMP/display")"
  # A window manager gives the windows their frames, where one is installed.
  for wm in xfwm4 openbox fluxbox twm; do
    if command -v "$wm" >/dev/null; then "$wm" >/dev/null 2>&1 & PIDS+=($!); break; fi
  done
  (cd "$TMP/prog" && exec ./veltry >"$TMP/app.log" 2>&1) &
  APP=$!
  PIDS+=($APP)
}

# The id of the visible window titled exactly $1; ends the script when none comes up.
find_window() {
  local id=""
  for _ in $(seq 100); do
    id="$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1 || true)"
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "no window titled '$1'" >&2
  cat "$TMP/app.log" >&2
  exit 1
}
