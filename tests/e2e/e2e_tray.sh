#!/usr/bin/env bash
# The program docks in the tray; Alt+M puts the task window away and a click on the tray icon
# brings it back; a second start only brings the first copy forward and changes no file; after
# the first copy was killed outright, the next start runs normally.
source "$(dirname "$0")/lib.sh"
command -v trayer >/dev/null || fail "trayer (the tray host) is not installed"
start_display

tray_host() { xdotool search --class trayer 2>/dev/null | head -n1 || true; }

# The window our program docked into the tray host (its WM_CLASS names the program).
tray_icon_window() {
  local host
  for host in $(xdotool search --class trayer 2>/dev/null || true); do
    xwininfo -tree -id "$host" 2>/dev/null | grep -E '\("veltry" "Veltry"\)' | awk '{print $1}' | head -n1 || true
  done | head -n1
}

is_viewable() { xwininfo -id "$1" 2>/dev/null | grep -q "Map State: IsViewable"; }

# Alt+M as the user types it: real key events to the focused window. (Keys sent with
# "xdotool key --window" are synthetic, and one can come back once the window is shown again.)
press_alt_m() {
  xdotool windowfocus --sync "$1" 2>/dev/null || true
  xdotool key alt+m
}

wait_until() {
  local what="$1"; shift
  for _ in $(seq 100); do "$@" && return 0; sleep 0.1; done
  fail "$what"
}

for _ in $(seq 50); do [ -n "$(tray_host)" ] && break; sleep 0.1; done
[ -n "$(tray_host)" ] || fail "the tray host did not start"

start_app
win="$(wait_for_window "Veltry Professional")"
wait_for_file "$E2E_LIST"

# The icon is docked in the tray host.
icon=""
for _ in $(seq 100); do icon="$(tray_icon_window)"; [ -n "$icon" ] && break; sleep 0.1; done
[ -n "$icon" ] || fail "no tray icon docked in the tray host"
# Only the task window carries the program's title; a search by it must not find the icon.
[ "$(xdotool search --onlyvisible --name '^Veltry Professional$' | wc -l)" -eq 1 ] \
  || fail "the tray icon's window is titled like the task window"

# Alt+M puts the task window away; the program keeps running.
press_alt_m "$win"
wait_until "Alt+M did not hide the task window" bash -c "! xwininfo -id $win 2>/dev/null | grep -q 'Map State: IsViewable'"
kill -0 "$APP_PID" || fail "the program ended on Alt+M"

# A click on the tray icon brings it back.
eval "$(xdotool getwindowgeometry --shell "$icon")"
xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
wait_until "a click on the tray icon did not show the task window" is_viewable "$win"

# A right click opens the tray menu, the one the tray holds, at the pointer; Escape closes it.
shown_windows() { xdotool search --onlyvisible --classname veltry 2>/dev/null | wc -l; }
before="$(shown_windows)"
xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
wait_until "a right click on the tray icon opened no menu" bash -c "[ \$(xdotool search --onlyvisible --classname veltry 2>/dev/null | wc -l) -gt $before ]"
xdotool key Escape
wait_until "Escape did not close the tray menu" bash -c "[ \$(xdotool search --onlyvisible --classname veltry 2>/dev/null | wc -l) -le $before ]"

# A second start: ends quickly with status 0, writes nothing, shows the first copy's window.
sleep 1.2  # let the first copy's own files settle (no save is pending after start)
press_alt_m "$win"
wait_until "Alt+M did not hide the task window" bash -c "! xwininfo -id $win 2>/dev/null | grep -q 'Map State: IsViewable'"
cp "$E2E_LIST" "$E2E_TMP/list.before"
[ -f "$E2E_LOG" ] && cp "$E2E_LOG" "$E2E_TMP/log.before"
[ -f "$E2E_SETTINGS" ] && cp "$E2E_SETTINGS" "$E2E_TMP/settings.before"
list_time_before="$(stat -c %Y.%y "$E2E_LIST")"
start=$(date +%s%N)
set +e
(cd "$E2E_PROG" && timeout 10 ./veltry >"$E2E_TMP/second.log" 2>&1)
rc=$?
set -e
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$rc" -eq 0 ] || fail "the second start ended with status $rc"
[ "$elapsed_ms" -lt 5000 ] || fail "the second start took ${elapsed_ms} ms"
kill -0 "$APP_PID" || fail "the first copy ended when the second started"
cmp "$E2E_TMP/list.before" "$E2E_LIST" || fail "the second start changed the task list"
[ "$list_time_before" = "$(stat -c %Y.%y "$E2E_LIST")" ] || fail "the second start rewrote the task list"
if [ -f "$E2E_TMP/log.before" ]; then cmp "$E2E_TMP/log.before" "$E2E_LOG" || fail "the second start changed the history"
else [ ! -e "$E2E_LOG" ] || fail "the second start created a history file"; fi
if [ -f "$E2E_TMP/settings.before" ]; then cmp "$E2E_TMP/settings.before" "$E2E_SETTINGS" || fail "the second start changed the settings"
else [ ! -e "$E2E_SETTINGS" ] || fail "the second start wrote settings"; fi
[ ! -s "$E2E_TMP/second.log" ] || { cat "$E2E_TMP/second.log" >&2; fail "the second start printed something"; }
wait_until "the second start did not bring the first copy's window forward" is_viewable "$win"
# Exactly one mapped top-level window of the program: the first copy's task window.
shown=0
for w in $(xwininfo -root -children | grep -E '\("veltry" "Veltry"\)' | awk '{print $1}'); do
  is_viewable "$w" && shown=$((shown + 1))
done
[ "$shown" -eq 1 ] || fail "$shown task windows are shown"

# Killed outright, the first copy leaves no lock behind: the next start runs normally.
kill -KILL "$APP_PID"
wait "$APP_PID" 2>/dev/null || true
for _ in $(seq 50); do xdotool search --onlyvisible --name '^Veltry Professional$' >/dev/null 2>&1 || break; sleep 0.1; done
start_app
win="$(wait_for_window "Veltry Professional")"
sleep 0.5
kill -0 "$APP_PID" || fail "the start after a killed copy did not keep running"
icon=""
for _ in $(seq 100); do icon="$(tray_icon_window)"; [ -n "$icon" ] && break; sleep 0.1; done
[ -n "$icon" ] || fail "no tray icon after the restart"
# ...and is itself the first copy now: a further start brings it forward.
(cd "$E2E_PROG" && timeout 10 ./veltry >/dev/null 2>&1) || fail "a start beside the restarted copy failed"
kill -0 "$APP_PID" || fail "the restarted copy ended"
stop_app
echo "PASS"
