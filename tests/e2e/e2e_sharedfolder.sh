#!/usr/bin/env bash
# Two running copies, each with its own program and XDG folders, share one list through a folder
# ("Networkable"). A task added in one while the other has its add dialog open, and the other's
# task taken after it, both stay; a check mark given in one survives the other's save and its own
# reload; both editing one task's description leave the later save's text and the other's as one
# " (conflict)" copy. A Delete right after a save that brought in the other's task removes its own.
source "$(dirname "$0")/lib.sh"
shared="$E2E_TMP/shared"
mkdir -p "$shared"
list="$shared/veltlist.vlp"
# The seed as an older edition writes it: no UID in column 11.
printf '12,2\r\n1,0,Task\r\n2,0,Due On\r\n3,0,Due At\r\n4,0,Category\r\n5,0,Pr\r\n6,0,Notes\r\n7,0,Create Date\r\n8,0,Alarm\r\n9,0,Lead Time\r\n10,0,Type\r\n1,1,Seed\r\n5,1,\xa0\r\n10,1,0\r\n' >"$list"
shared_settings() {
  mkdir -p "$(dirname "$1")"
  printf '[HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltry Pro]\n"NoConfirmations"=dword:00000001\n"UseAltDirPath"=dword:00000001\n"AltDirPath"="%s/"\n"Networkable"=dword:00000001\n' \
    "$shared" >"$1"
}
shared_settings "$E2E_SETTINGS"
other="$E2E_TMP/other"
mkdir -p "$other/prog" "$other/config" "$other/data" "$other/run"
chmod 700 "$other/run"
cp "$E2E_PROG/veltry" "$other/prog/veltry"
shared_settings "$other/config/veltry/registry.reg"

# The visible window titled exactly $2 of process $1, waiting up to $3 tenths of a second.
find_window() {
  local id=""
  for _ in $(seq "${3:-100}"); do
    id="$(xdotool search --all --onlyvisible --pid "$1" --name "^$2\$" 2>/dev/null | head -n1 || true)"
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
window_of() {
  find_window "$1" "$2" || fail "process $1 shows no window titled '$2'"
}
# Gives window $1 the keyboard: two programs' windows lie on one another without a window
# manager, and a key sent before the window has the focus is lost.
focus() {
  for _ in $(seq 30); do
    xdotool windowfocus --sync "$1" 2>/dev/null || true
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ] && break
    sleep 0.1
  done
  sleep 0.3
}
# Opens the dialog of key $3 ("Insert", "alt+e") titled $4 in copy $1 (window $2) and types $5.
open_and_type() {
  local dlg="" try
  for try in 1 2 3; do
    focus "$2"
    xdotool key "$3"
    dlg="$(find_window "$1" "$4" 50)" && break
  done
  [ -n "$dlg" ] || fail "process $1 did not open '$4'"
  focus "$dlg"
  xdotool type --delay 20 "$5"
  echo "$dlg"
}
# Takes dialog $2 of process $1 with Enter, again if the key was lost, until it is gone.
take() {
  local try
  for try in 1 2 3 4; do
    focus "$2"
    # As on the keyboard: the edit dialog takes no Enter sent to its window alone.
    xdotool key Return 2>/dev/null || true
    for _ in $(seq 20); do
      xdotool search --all --onlyvisible --pid "$1" --name . 2>/dev/null | grep -qx "$2" || return 0
      sleep 0.1
    done
  done
  fail "process $1 did not take its dialog (it shows: $(for w in $(xdotool search --all --onlyvisible --pid "$1" --name . 2>/dev/null); do xdotool getwindowname "$w"; done | tr '\n' '|'))"
}
# How many tasks of the shared list have the description $1.
count_of() { tr -d '\r' <"$list" | grep -ac "^1,[1-9][0-9]*,$1\$" || true; }
expect_once() {
  local n; n="$(count_of "$1")"
  [ "$n" = 1 ] || fail "the shared list holds '$1' $n times: $(tr '\r\n' ' |' <"$list")"
}

start_display
start_app
a_pid=$APP_PID
a="$(window_of "$a_pid" "Veltry Professional")"
(cd "$other/prog" && XDG_CONFIG_HOME="$other/config" XDG_DATA_HOME="$other/data" XDG_RUNTIME_DIR="$other/run" \
  exec ./veltry >"$E2E_TMP/other.log" 2>&1) &
b_pid=$!
E2E_PIDS+=("$b_pid")
b="$(window_of "$b_pid" "Veltry Professional")"

# A has "A2" typed in its add dialog when B adds "B2"; A's Enter comes after B's save.
a_dlg="$(open_and_type "$a_pid" "$a" Insert "Add New Task" "A2")"
b_dlg="$(open_and_type "$b_pid" "$b" Insert "Add New Task" "B2")"
take "$b_pid" "$b_dlg"
file_holds "$list" "B2" 50 || fail "B's task did not reach the shared list"
take "$a_pid" "$a_dlg"
file_holds "$list" "A2" 50 || fail "A's task did not reach the shared list"
for t in Seed A2 B2; do expect_once "$t"; done
# Rows without a UID got one, and every task keeps its own.
uids="$(tr -d '\r' <"$list" | grep -a '^11,[1-9]' | cut -d, -f3 | sort -u | wc -l)"
[ "$uids" = 3 ] || fail "the shared list's tasks do not carry three UIDs: $(tr '\r\n' ' |' <"$list")"

# A's save brings B's new task in above A's: A's Delete right after still removes A's own task.
focus "$a"
xdotool key ctrl+Home  # a new task takes the top row, where the cursor is
a_dlg="$(open_and_type "$a_pid" "$a" Insert "Add New Task" "A-x")"
b_dlg="$(open_and_type "$b_pid" "$b" Insert "Add New Task" "B-y")"
take "$b_pid" "$b_dlg"
file_holds "$list" "B-y" 50 || fail "B-y did not reach the shared list"
take "$a_pid" "$a_dlg"
file_holds "$list" "A-x" 50 || fail "A-x did not reach the shared list"
focus "$a"
xdotool key Delete
for _ in $(seq 50); do [ "$(count_of A-x)" = 0 ] && break; sleep 0.1; done
[ "$(count_of A-x)" = 0 ] || fail "A's Delete did not remove A-x: $(tr '\r\n' ' |' <"$list")"
expect_once "B-y"

# A check mark given in A (kept in memory) outlives B's save and A's reload of it.
focus "$a"
xdotool key space
sleep 0.3
b_dlg="$(open_and_type "$b_pid" "$b" Insert "Add New Task" "B3")"
take "$b_pid" "$b_dlg"
file_holds "$list" "B3" 50 || fail "B3 did not reach the shared list"
sleep 3  # A's one-second check reloads B's save
a_dlg="$(open_and_type "$a_pid" "$a" Insert "Add New Task" "A3")"
take "$a_pid" "$a_dlg"
file_holds "$list" "A3" 50 || fail "A3 did not reach the shared list"
for t in Seed A2 B2 B-y B3 A3; do expect_once "$t"; done
checked="$(tr -d '\r' <"$list" | grep -a '^0,[1-9][0-9]*, $' | cut -d, -f2)"
[ "$(echo "$checked" | grep -c .)" = 1 ] || fail "A's check mark was lost: $(tr '\r\n' ' |' <"$list")"
checked_task="$(tr -d '\r' <"$list" | grep -a "^1,$checked," | cut -d, -f3)"
case "$checked_task" in Seed|A2|B2|B-y) ;; *) fail "the check mark moved to '$checked_task'" ;; esac

# Both edit the top task (the same one: B took A's save as it was). B saves first; A's later save
# keeps A's text, and B's becomes the conflict copy.
sleep 3
for w in "$a" "$b"; do
  focus "$w"
  xdotool key ctrl+Home
done
top="$(tr -d '\r' <"$list" | grep -a '^1,1,' | cut -d, -f3)"
a_dlg="$(open_and_type "$a_pid" "$a" alt+e "Edit Task" "$top by A")"
b_dlg="$(open_and_type "$b_pid" "$b" alt+e "Edit Task" "$top by B")"
take "$b_pid" "$b_dlg"
file_holds "$list" "$top by B" 50 || fail "B's edit did not reach the shared list"
take "$a_pid" "$a_dlg"
file_holds "$list" "$top by A" 50 || fail "A's edit did not reach the shared list"
sleep 3  # B reloads A's save
expect_once "$top by A"
expect_once "$top by B (conflict)"
[ "$(count_of "$top")" = 0 ] || fail "the old description '$top' is still there"

# Both end (each saving what it holds): still every task once, and the check mark.
stop_app
kill -TERM "$b_pid"
wait "$b_pid" 2>/dev/null || true
for t in Seed A2 B2 B3 A3; do [ "$t" = "$top" ] || expect_once "$t"; done
expect_once "$top by A"
expect_once "$top by B (conflict)"
[ "$(tr -d '\r' <"$list" | grep -ac '^0,[1-9][0-9]*, $')" = 1 ] || fail "the check mark did not last to the end"
[ ! -e "$shared/veltlist.lock" ] || fail "a lock file was left behind"
echo "PASS"
