#!/usr/bin/env bash
# Takes screenshots of the task window under Xvfb: the window with a small list, and the same
# with the pointer resting on a toolbar button (its hint and help text showing).
# Usage: [QT_SCALE_FACTOR=2] scripts/screenshots-main.sh [program] [output folder]
source "$(dirname "$0")/shots-lib.sh"

# A dozen tasks: every priority colour, checked tasks, tasks with notes, a description too long
# for its column and one of two lines.
{
  printf '12,13\r\n1,0,Task\r\n2,0,Due On\r\n3,0,Due At\r\n4,0,Category\r\n5,0,Pr\r\n6,0,Notes\r\n7,0,Create Date\r\n8,0,Alarm\r\n9,0,Lead Time\r\n10,0,Type\r\n'
  printf '1,1,Quarterly report to the board\r\n2,1,1/15/31\r\n3,1,09:30am\r\n4,1,Work\r\n5,1,1\r\n6,1,Figures from finance first\r\n7,1,1/2/26\r\n10,1,0\r\n'
  printf '0,2, \r\n1,2,Renew the car insurance\r\n2,2,1/20/31\r\n4,2,Home\r\n5,2,2\r\n7,2,1/2/26\r\n10,2,0\r\n'
  printf '1,3,Dentist appointment\r\n2,3,2/3/31\r\n3,3,04:15pm\r\n4,3,Personal\r\n5,3,2\r\n7,3,1/2/26\r\n8,3,Y\r\n10,3,0\r\n'
  printf '1,4,Water the plants\r\n2,4,1/5/31\r\n4,4,Home\r\n5,4,3\r\n7,4,1/2/26\r\n10,4,2\r\n'
  printf '1,5,Read the new style guide\r\n4,5,Work\r\n5,5,\xa0\r\n7,5,1/2/26\r\n10,5,0\r\n'
  printf '1,6,Book flights, hotel and the rental car for the spring conference in Lisbon\r\n2,6,3/1/31\r\n4,6,Travel\r\n5,6,1\r\n6,6,Ask about the early rate\r\n7,6,1/2/26\r\n10,6,0\r\n'
  printf '0,7, \r\n1,7,Pay the electricity bill\r\n2,7,1/10/31\r\n4,7,Home\r\n5,7,1\r\n7,7,1/2/26\r\n10,7,4\r\n'
  printf '1,8,Call Anna\tabout Saturday\r\n2,8,1/12/31\r\n3,8,06:00pm\r\n4,8,Personal\r\n5,8,3\r\n7,8,1/2/26\r\n8,8,Y\r\n10,8,0\r\n'
  printf '1,9,Back up the laptop\r\n2,9,1/8/31\r\n4,9,Work\r\n5,9,high\r\n7,9,1/2/26\r\n10,9,2\r\n'
  printf '1,10,Order printer paper\r\n4,10,Errands\r\n5,10,2\r\n6,10,A4, two boxes\r\n7,10,1/2/26\r\n10,10,0\r\n'
  printf '0,11, \r\n1,11,Return library books\r\n2,11,1/6/31\r\n4,11,Errands\r\n5,11,3\r\n7,11,1/2/26\r\n10,11,0\r\n'
  printf '1,12,Plan the team lunch\r\n2,12,2/14/31\r\n3,12,12:30pm\r\n4,12,Work\r\n5,12,2\r\n7,12,1/2/26\r\n10,12,0\r\n'
} >"$TMP/prog/veltlist.vlp"

start_program 1024x700
id="$(find_window "Veltry Professional")"
xdotool windowsize "$id" "$(px 460)" "$(px 360)"
xdotool windowmove "$id" "$(px 40)" "$(px 40)"
# Without a window manager nothing activates the window; hints show only in the active one.
xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
sleep 0.5
# Fit the columns to the window (Alt+W), as a user would after the first start.
xdotool key --window "$id" alt+w
sleep 0.3
# Sort by the due date: a click on its title draws the arrow there.
xdotool mousemove --window "$id" "$(px 270)" "$(px 85)" click 1
sleep 0.3
xdotool mousemove "$(px 700)" "$(px 600)"
sleep 0.3
import -window "$id" "$OUT/main-window.png"

# Rest the pointer on the Add Task button (below the menu bar, about 100 pixels from the left)
# until its hint shows.
xdotool mousemove --window "$id" "$(px 103)" "$(px 100)"
sleep 0.3
xdotool mousemove --window "$id" "$(px 103)" "$(px 61)"
sleep 0.2
xdotool mousemove --window "$id" "$(px 104)" "$(px 60)"
sleep 2
import -window root -crop "$(px 520)x$(px 440)+$(px 20)+$(px 20)" "$OUT/main-window-hover.png"
echo "screenshots in $OUT"
