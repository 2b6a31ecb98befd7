#!/usr/bin/env bash
# Takes screenshots of the preferences dialog under Xvfb, driven by the keys a user would press:
# its three pages, the "Add Task Category", "Choose Directory", "Calendar Server" and "Warning: File
# Already Exists" dialogs, and the font chooser. The program runs from its own folder, so switching the alternate
# path on fills in that folder, which already holds a task list: OK then brings the warning.
# Usage: scripts/screenshots-prefs.sh [program] [output folder]
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

# Three categories, so the list is not empty.
mkdir -p "$XDG_CONFIG_HOME/veltry"
printf '[HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltry Pro]\n"CategoryNum"=dword:00000003\n"Cat0"="Work"\n"Cat1"="Home"\n"Cat2"="Errands"\n' \
  >"$XDG_CONFIG_HOME/veltry/registry.reg"

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$TMP/display" >/dev/null 2>&1 &
PIDS+=($!)
for _ in $(seq 100); do [ -s "$TMP/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$TMP/display")"
for wm in xfwm4 openbox fluxbox twm; do
  if command -v "$wm" >/dev/null; then "$wm" >/dev/null 2>&1 & PIDS+=($!); break; fi
done

(cd "$TMP/prog" && exec ./veltry >"$TMP/app.log" 2>&1) &
PIDS+=($!)

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

# The screen as the user sees it, cut to the window (with a margin for its frame).
shoot() {
  local id="$1" name="$2" x y w h
  sleep 0.4
  eval "$(xdotool getwindowgeometry --shell "$id")"
  x=$((X > 30 ? X - 30 : 0)); y=$((Y > 30 ? Y - 30 : 0))
  w=$((WIDTH + 60)); h=$((HEIGHT + 60))
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "$OUT/$name.png"
}

keys() {
  xdotool windowfocus --sync "$1" 2>/dev/null || true
  sleep 0.2
  shift
  xdotool key --delay 120 "$@"
}

main="$(find_window "Veltry Professional")"
xdotool windowmove "$main" 0 0
keys "$main" alt+p
prefs="$(find_window "Preferences")"
shoot "$prefs" prefs-general
keys "$prefs" ctrl+Tab
shoot "$prefs" prefs-editing
keys "$prefs" ctrl+Tab
shoot "$prefs" prefs-categories

keys "$prefs" alt+a
add="$(find_window "Add Task Category")"
xdotool type --delay 40 "Garden"
shoot "$add" prefs-addcategory
keys "$add" Return

# Editing: the font chooser (Alt+F first reaches "Flyover hints", the second "Change Font").
keys "$prefs" ctrl+Tab ctrl+Tab alt+f alt+f space
font="$(find_window "Select Font")"
shoot "$font" prefs-font
keys "$font" Escape

# The alternate path on, then "..." (two Tabs on) for the folder chooser.
keys "$prefs" alt+u
shoot "$prefs" prefs-editing-altpath
keys "$prefs" Tab Tab space
dir="$(find_window "Choose Directory")"
shoot "$dir" prefs-choosedir
keys "$dir" Escape

# "Calendar server..." is the next control after "..."; an http address to another host with a
# password shows the note about it.
keys "$prefs" Tab space
sync="$(find_window "Calendar Server")"
xdotool type --delay 20 "http://dav.example.org/cal/ann/tasks/"
keys "$sync" alt+u
xdotool type --delay 20 "ann"
keys "$sync" alt+p
xdotool type --delay 20 "secret"
keys "$sync" alt+k alt+t
shoot "$sync" prefs-syncserver
keys "$sync" Escape

keys "$prefs" Return
warn="$(find_window "Warning: File Already Exists")"
shoot "$warn" prefs-fileexists
keys "$warn" alt+c
keys "$prefs" Escape
echo "screenshots in $OUT"
