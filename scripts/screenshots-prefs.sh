#!/usr/bin/env bash
# Takes screenshots of the preferences dialog under Xvfb, driven by the keys a user would press:
# its three pages, the "Add Task Category", "Choose Directory", "Calendar Server" and "Warning: File
# Already Exists" dialogs, and the font chooser. The program runs from its own folder, so switching the alternate
# path on fills in that folder, which already holds a task list: OK then brings the warning.
# Usage: [QT_SCALE_FACTOR=2] scripts/screenshots-prefs.sh [program] [output folder]
source "$(dirname "$0")/shots-lib.sh"

# Three categories, so the list is not empty.
mkdir -p "$XDG_CONFIG_HOME/veltry"
printf '[HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltry Pro]\n"CategoryNum"=dword:00000003\n"Cat0"="Work"\n"Cat1"="Home"\n"Cat2"="Errands"\n' \
  >"$XDG_CONFIG_HOME/veltry/registry.reg"

start_program 1280x800

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
