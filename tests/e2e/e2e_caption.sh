#!/usr/bin/env bash
# The task window draws its own title bar: black at the left shading into the caption colour at
# the right; its title is exactly "Veltry Professional" (no name appended by the platform, nor
# to a dialog's); dragging the bar moves the window.
source "$(dirname "$0")/lib.sh"
start_display
start_app
id="$(wait_for_window "Veltry Professional")"
wait_for_file "$E2E_LIST"

# Both title properties, as task bars and window lists read them.
exact_title() {
  local want="$1" win="$2"
  [ "$(xprop -id "$win" _NET_WM_NAME)" = "_NET_WM_NAME(UTF8_STRING) = \"$want\"" ] \
    || fail "the window's _NET_WM_NAME is not \"$want\": $(xprop -id "$win" _NET_WM_NAME)"
  [ "$(xprop -id "$win" WM_NAME)" = "WM_NAME(STRING) = \"$want\"" ] \
    || fail "the window's WM_NAME is not \"$want\": $(xprop -id "$win" WM_NAME)"
}
exact_title "Veltry Professional" "$id"

xdotool windowfocus --sync "$id" 2>/dev/null || true
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$id")"
import -window root "$E2E_TMP/shot.png"

# The top row of the title bar, inside the 4-pixel frame, from the left end to the right end.
row="$(convert "$E2E_TMP/shot.png" -crop "$((WIDTH - 8))x1+$((X + 4))+$((Y + 4))" +repage txt:- \
  | sed -n 's/.*#\([0-9A-Fa-f]\{6\}\).*/\1/p')"
[ -n "$row" ] || fail "no screenshot of the title bar"
first="$(head -n1 <<<"$row")"
last="$(tail -n1 <<<"$row")"
brightness() { echo $(( 16#${1:0:2} + 16#${1:2:2} + 16#${1:4:2} )); }
[ "$first" = "000000" ] || fail "the left end of the bar is #$first, not black"
[ "$(brightness "$last")" -gt 200 ] || fail "the right end of the bar is #$last, not the caption colour"
# A gradient: brightness never falls from left to right, through many shades.
prev=0
while read -r px; do
  b="$(brightness "$px")"
  [ "$b" -ge "$prev" ] || fail "the bar darkens towards the right (#$px)"
  prev="$b"
done <<<"$(awk 'NR % 4 == 0' <<<"$row" | head -n $(( (WIDTH - 60) / 4 )))"
shades="$(sort -u <<<"$row" | wc -l)"
[ "$shades" -ge 32 ] || fail "the bar shows only $shades colours"

# Dragging the bar moves the window by as much.
xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + 10))
xdotool mousedown 1
xdotool mousemove --sync $((X + WIDTH / 2 + 30)) $((Y + 30))
xdotool mousemove --sync $((X + WIDTH / 2 + 70)) $((Y + 50))
xdotool mouseup 1
moved=""
for _ in $(seq 50); do
  eval "$(xdotool getwindowgeometry --shell "$id" | sed 's/^/NEW_/')"
  [ "$NEW_X" -eq $((X + 70)) ] && [ "$NEW_Y" -eq $((Y + 40)) ] && { moved=1; break; }
  sleep 0.1
done
[ -n "$moved" ] || fail "dragging the bar by 70,40 moved the window from $X,$Y to $NEW_X,$NEW_Y"
exact_title "Veltry Professional" "$id"

# A dialog carries its own title alone.
xdotool windowfocus --sync "$id" 2>/dev/null || true
xdotool key --window "$id" Insert
dlg="$(wait_for_window "Add New Task")"
exact_title "Add New Task" "$dlg"
xdotool windowfocus --sync "$dlg" 2>/dev/null || true
# The dialog may be gone before the key's release reaches it.
xdotool key --window "$dlg" Escape 2>/dev/null || true
for _ in $(seq 50); do xdotool search --onlyvisible --name '^Add New Task$' >/dev/null 2>&1 || break; sleep 0.1; done
stop_app
echo "PASS"
