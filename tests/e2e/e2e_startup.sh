#!/usr/bin/env bash
# First run in an empty program folder creates the task list at once; the end writes every
# setting; a prepared list comes back byte for byte.
source "$(dirname "$0")/lib.sh"
start_display

start_app
wait_for_file "$E2E_LIST"
wait_for_window "Veltry Professional" >/dev/null
expected="$E2E_TMP/expected.vlp"
printf '12,2\r\n1,0,Task\r\n2,0,Due On\r\n3,0,Due At\r\n4,0,Category\r\n5,0,Pr\r\n6,0,Notes\r\n7,0,Create Date\r\n8,0,Alarm\r\n9,0,Lead Time\r\n10,0,Type\r\n' >"$expected"
cmp "$expected" "$E2E_LIST" || fail "the new task list is not the header 12,2 with the ten titles"
stop_app

[ -f "$E2E_SETTINGS" ] || fail "no settings file at $E2E_SETTINGS"
for name in SavePosition SaveSize StartMinimized LogOnStartup ShowNotes NoConfirmations ShowDayIcon \
            TaskHints FloatEditedTask StartCalMonday Col2Hidden Col3Hidden Col4Hidden Col5Hidden \
            UseAltDirPath Networkable; do
  expect_dword "$name" 0
done
expect_dword VisibleTasks 8
expect_dword PKey 5
expect_dword PDir 0
expect_dword SKey 2
expect_dword SDir 0
expect_dword clOne 255
expect_dword clTwo 32768
expect_dword clThree 16711680
expect_dword clElse 0
cmp "$expected" "$E2E_LIST" || fail "the list changed at exit"

# A prepared list with every kind of cell survives a run unchanged.
prepared="$E2E_TMP/prepared.vlp"
{
  list_titles 4
  printf '0,1, \r\n1,1,Call the bank, then the office\r\n2,1,12/24/30\r\n3,1,09:30pm\r\n4,1,Work\r\n5,1,1\r\n6,1,first line\t\bsecond line\r\n7,1,12/1/26\r\n8,1,Y\r\n10,1,0\r\n'
  printf '1,2,Caf\xe9 \x80 receipts\r\n5,2,\xa0\r\n7,2,12/2/26\r\n10,2,4\r\n'
  printf '1,3,Water the plants\r\n2,3,1/5/31\r\n5,3,3\r\n7,3,12/3/26\r\n10,3,2\r\n'
} >"$prepared"
cp "$prepared" "$E2E_LIST"
start_app
wait_for_window "Veltry Professional" >/dev/null
sleep 1
stop_app
cmp "$prepared" "$E2E_LIST" || fail "the prepared list was not written back byte for byte"
echo "PASS"
