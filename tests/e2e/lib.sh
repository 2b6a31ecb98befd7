# Shared pieces of the end-to-end tests: a private X server with a tray host, a program folder
# of its own, and XDG folders pointing into the test's temporary folder.
set -euo pipefail

E2E_BIN="$1"
E2E_TMP="$(mktemp -d /tmp/veltry-e2e-XXXXXX)"
E2E_PROG="$E2E_TMP/prog"
mkdir -p "$E2E_PROG" "$E2E_TMP/config" "$E2E_TMP/data" "$E2E_TMP/run"
chmod 700 "$E2E_TMP/run"
cp "$E2E_BIN" "$E2E_PROG/veltry"
export XDG_CONFIG_HOME="$E2E_TMP/config"
export XDG_DATA_HOME="$E2E_TMP/data"
export XDG_RUNTIME_DIR="$E2E_TMP/run"
export QT_QPA_PLATFORM=xcb
unset SESSION_MANAGER
E2E_SETTINGS="$XDG_CONFIG_HOME/veltry/registry.reg"
E2E_LIST="$E2E_PROG/veltlist.vlp"
E2E_LOG="$E2E_PROG/veltlog.vlp"
E2E_PIDS=()

e2e_cleanup() {
  for pid in "${E2E_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  [ -n "${VELTRY_KEEP_TEST_DIRS:-}" ] || rm -rf "$E2E_TMP"
}
trap e2e_cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# Starts Xvfb on a free display number, then a tray host.
start_display() {
  local fifo="$E2E_TMP/displayfd"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fifo.txt" >/dev/null 2>&1 &
  E2E_PIDS+=($!)
  for _ in $(seq 100); do [ -s "$fifo.txt" ] && break; sleep 0.1; done
  [ -s "$fifo.txt" ] || fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "$fifo.txt")"
  if command -v trayer >/dev/null; then
    trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 >/dev/null 2>&1 &
    E2E_PIDS+=($!)
  fi
  sleep 0.5
}

# Starts the program from its folder; its pid is in APP_PID.
start_app() {
  (cd "$E2E_PROG" && exec ./veltry >"$E2E_TMP/app.log" 2>&1) &
  APP_PID=$!
  E2E_PIDS+=($APP_PID)
}

wait_for_file() {
  for _ in $(seq 100); do [ -s "$1" ] && return 0; sleep 0.1; done
  fail "$1 did not appear"
}

# Waits for a window whose title is exactly $1; prints its id.
wait_for_window() {
  local id=""
  for _ in $(seq 100); do
    id="$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1 || true)"
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  fail "no window titled '$1'"
}

stop_app() {
  kill -TERM "$APP_PID"
  for _ in $(seq 100); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$APP_PID" 2>/dev/null && fail "the program did not end after SIGTERM"
  wait "$APP_PID" 2>/dev/null || true
}

# Checks that the settings file holds a dword value.
expect_dword() {
  local name="$1" value="$2"
  local want; want=$(printf '"%s"=dword:%08x' "$name" "$value")
  grep -qxF "$want" "$E2E_SETTINGS" || fail "settings lack $want"
}

# Adds a task with only its description through the task window $1 (Insert, type, Enter) and
# waits until list file $3 holds it.
add_task_by_keys() {
  local id="$1" description="$2" list="$3" dlg
  xdotool windowfocus --sync "$id" 2>/dev/null || true
  sleep 0.5
  xdotool key --window "$id" Insert
  dlg="$(wait_for_window "Add New Task")"
  xdotool windowfocus --sync "$dlg" 2>/dev/null || true
  sleep 0.3
  xdotool type --window "$dlg" --delay 20 "$description"
  # The dialog goes away on the key press, so sending the release may find no window.
  xdotool key --window "$dlg" Return 2>/dev/null || true
  file_holds "$list" "$description" 50 || fail "the task '$description' did not reach $list"
}

# Whether file $1 holds the text $2 within $3 tenths of a second.
file_holds() {
  local i
  for i in $(seq "$3"); do grep -qF "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}

# The task list file's first line and its title row, for a list of $1 rows (the title row
# counted).
list_titles() {
  printf '12,%s\r\n1,0,Task\r\n2,0,Due On\r\n3,0,Due At\r\n4,0,Category\r\n5,0,Pr\r\n6,0,Notes\r\n7,0,Create Date\r\n8,0,Alarm\r\n9,0,Lead Time\r\n10,0,Type\r\n' "$1"
}

# Starts the program and waits for its task window, which then has the focus; its id is in
# TASK_WINDOW.
start_task_window() {
  start_app
  TASK_WINDOW="$(wait_for_window "Veltry Professional")"
  xdotool windowfocus --sync "$TASK_WINDOW" 2>/dev/null || true
  sleep 0.5
}

# In the Import dialog, whose file list has the focus: picks the calendar files (the last file
# type, just before the list), the first of them, and says Yes to the question.
import_first_calendar() {
  xdotool key shift+Tab
  sleep 0.2
  xdotool key space
  sleep 0.2
  xdotool key Tab
  sleep 0.2
  xdotool key Down
  sleep 0.3
  xdotool key Return
  wait_for_window "Information" >/dev/null
  sleep 0.3
  xdotool key Return
}
