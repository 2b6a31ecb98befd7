#!/usr/bin/env bash
# File > Print (Alt tapped, F, R) on a real print service: the PDF that the default queue
# writes holds the title and every description, and no category or notes text.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/cups.sh"
if ! cups_setup; then
  echo "SKIP: no print service on this machine: $CUPS_WHY"
  exit 77
fi
start_display

token="run$$x$RANDOM"
{
  list_titles 4
  printf '1,1,Pay the rent %s\r\n2,1,3/1/26\r\n3,1,09:30am\r\n4,1,Homebills\r\n5,1,1\r\n6,1,Standing order\r\n7,1,3/1/26\r\n10,1,0\r\n' "$token"
  printf '1,2,Buy stamps\r\n2,2,3/2/26\r\n4,2,Errandsxyz\r\n5,2,2\r\n6,2,first class only\r\n7,2,3/2/26\r\n10,2,0\r\n'
  printf '1,3,Water the plants\r\n4,3,Gardenwork\r\n5,3,3\r\n6,3,the ferns too\r\n7,3,3/3/26\r\n10,3,0\r\n'
} >"$E2E_LIST"

since="$E2E_TMP/printed-after"
touch "$since"
sleep 1  # the PDF must be newer than the marker to the second
start_task_window
id="$TASK_WINDOW"
xdotool key --delay 150 alt f r

pdf="$(cups_wait_for_pdf "$since" "$token")" || fail "no PDF holding '$token' in ${CUPS_PDF_DIRS[*]}"
text="$(pdftotext -layout "$pdf" -)"
[ -n "${VELTRY_KEEP_TEST_DIRS:-}" ] && cp "$pdf" "$E2E_TMP/printout.pdf"
rm -f "$pdf"
stop_app

grep -qF "Veltry v1.0: Task List" <<<"$text" || fail "the title is not in the printout: $text"
grep -qF "v1.06" <<<"$text" && fail "the design-time version is in the printout"
for d in "Pay the rent $token" "Buy stamps" "Water the plants" "Task" "Due On" "Due At" "3/1/26" "09:30am"; do
  grep -qF "$d" <<<"$text" || fail "'$d' is not in the printout: $text"
done
for absent in Homebills Errandsxyz Gardenwork Category "Standing order" "first class" "the ferns" Notes "Pr "; do
  grep -qF "$absent" <<<"$text" && fail "'$absent' is in the printout: $text"
done
echo "PASS"
