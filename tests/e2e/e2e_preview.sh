#!/usr/bin/env bash
# File > Print Preview (Alt tapped, F, V): a window titled exactly "Print preview" comes up and
# shows the page: white, with dark text on it. Escape closes it and the program goes on.
source "$(dirname "$0")/lib.sh"
start_display

{
  list_titles 3
  printf '1,1,Pay the rent\r\n2,1,3/1/26\r\n4,1,Home\r\n5,1,1\r\n7,1,3/1/26\r\n10,1,0\r\n'
  printf '1,2,Buy stamps\r\n5,2,2\r\n7,2,3/2/26\r\n10,2,0\r\n'
} >"$E2E_LIST"

start_task_window
id="$TASK_WINDOW"
xdotool key --delay 150 alt f v
win="$(wait_for_window "Print preview")"
sleep 1

shot="$E2E_TMP/preview.png"
import -window root "$shot"
eval "$(xdotool getwindowgeometry --shell "$win")"
[ "$WIDTH" -gt 100 ] && [ "$HEIGHT" -gt 100 ] || fail "the preview window is only ${WIDTH}x${HEIGHT}"
# The page area without the strip of page buttons at the bottom.
page="$E2E_TMP/page.png"
convert "$shot" -crop "${WIDTH}x$((HEIGHT - 40))+${X}+${Y}" +repage -colorspace Gray "$page"
white="$(convert "$page" -threshold 60% -format '%[fx:mean]' info:)"
awk -v w="$white" 'BEGIN { exit !(w > 0.85) }' || fail "the preview is not a white page (white share $white)"
awk -v w="$white" 'BEGIN { exit !(w < 0.995) }' || fail "the preview shows no text (white share $white)"
[ -n "${VELTRY_KEEP_TEST_DIRS:-}" ] && echo "screenshot: $shot"

xdotool windowfocus --sync "$win" 2>/dev/null || true
xdotool key Escape
for _ in $(seq 50); do xdotool search --onlyvisible --name '^Print preview$' >/dev/null 2>&1 || break; sleep 0.1; done
xdotool search --onlyvisible --name '^Print preview$' >/dev/null 2>&1 && fail "Escape did not close the preview"
kill -0 "$APP_PID" 2>/dev/null || fail "the program ended with the preview"
stop_app
echo "PASS"
