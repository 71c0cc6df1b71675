#!/bin/bash
# Real instances of the program on one data folder: the second one, started
# from another working folder with other session settings (another runtime
# folder, none at all), names the folder and who holds it and ends without
# its window; a lock left by a killed instance, or naming a process number
# that another process now has, is taken over; a lock another computer left
# is taken only when the user says so.
program=$1
template=$2
. "$(dirname "$0")/session.sh"
start_xvfb
export XDG_DATA_HOME="$work/data-home"
mkdir -m 700 "$work/rt1" "$work/rt2" "$work/tmp2"

# start NAME FOLDER [ENV...]: starts the program in FOLDER under env ENV, its output in NAME.log.
start() {
  local name=$1 folder=$2
  shift 2
  (cd "$folder" && exec env "$@" "$program") >"$work/$name.log" 2>&1 &
  pids+=($!)
  last=$!
}

# expect_refused NAME HOLDER: instance NAME named the open folder and the
# process HOLDER that has it, and ended, with exit code 1, once its message
# was answered.
expect_refused() {
  local pid=$last box
  box=$(wait_window "$pid" '^Vantel$') || fail "$1: no message window"
  [ -n "$(xdotool search --all --onlyvisible --pid "$pid" --name "$main_title")" ] && fail "$1: the main window opened"
  grep -q "data folder $work/one/Files is already open in another instance (user $(id -un), process $2 on this computer, since " \
    "$work/$1.log" || fail "$1: the folder or its holder is not named"
  xdotool windowfocus --sync "$box" key Return
  wait_exit "$pid"; rc=$?
  [ "$rc" = 1 ] || fail "$1: exit code $rc after the message"
}

mkdir "$work/one" "$work/two" "$work/three" "$work/four" "$work/five" "$work/six"
cp "$template" "$work/one/vantel.ini"
start first "$work/one" XDG_RUNTIME_DIR="$work/rt1"
first=$last
wait_window "$first" "$main_title" >/dev/null || fail "first: no main window"
grep -qx "pid=$first" "$work/one/Files/.vantel-lock" || fail "the lock in the data folder does not name the first instance"

# Another working folder whose settings name the same data folder through a
# symbolic link, with another runtime folder, and with none at all.
ln -s "$work/one" "$work/link"
printf '[General]\r\nApp=GETDIR\r\nFiles=%s/link/Files/\r\n' "$work" >"$work/two/vantel.ini"
start second "$work/two" XDG_RUNTIME_DIR="$work/rt2"
expect_refused second "$first"
start second_bare "$work/two" -u XDG_RUNTIME_DIR TMPDIR="$work/tmp2"
expect_refused second_bare "$first"

# A data folder of its own is not held up by the lock of another.
cp "$template" "$work/three/vantel.ini"
start third "$work/three"
third=$last
wait_window "$third" "$main_title" >/dev/null || fail "third: no main window on its own data folder"

# The lock follows the admin record: a "Files" folder whose admin record names the open folder.
cp "$template" "$work/four/vantel.ini"
mkdir "$work/four/Files"
printf 'me\tpw\t%s/one/Files/\tUS\tTexas\tAustin\t\r\n' "$work" >"$work/four/Files/VantelAdmin.txt"
start fourth "$work/four"
expect_refused fourth "$first"

# A crash leaves the lock behind; the next start takes it over.
kill -9 "$first"
wait "$first" 2>/dev/null
[ -e "$work/one/Files/.vantel-lock" ] || fail "no lock file left by the killed instance"
start after_crash "$work/two"
wait_window "$last" "$main_title" >/dev/null || fail "after_crash: the lock of the killed instance was not taken over"
kill "$last"; wait_exit "$last"

# A lock that names this computer and the number of a process that is
# another Vantel now (on its own folder) keeps nobody out.
cp "$template" "$work/six/vantel.ini"
mkdir "$work/six/Files"
printf 'vantel-lock 1\nuser=ann\nhost=%s\nsince=2024-05-01 09:30\npid=%s\nstarted=1\n' "$(hostname)" "$third" \
  >"$work/six/Files/.vantel-lock"
start reused "$work/six"
wait_window "$last" "$main_title" >/dev/null || fail "reused: a process number used again kept the folder locked"
kill "$last"; wait_exit "$last"
kill "$third"; wait_exit "$third"

# A lock left by another computer: asked first; No (the default) ends, Yes opens the folder.
cp "$template" "$work/five/vantel.ini"
mkdir "$work/five/Files"
printf 'vantel-lock 1\nuser=ann\nhost=elsewhere\nsince=2024-05-01 09:30\npid=77\nstarted=5\n' >"$work/five/Files/.vantel-lock"
for answer in Return alt+y; do
  start "foreign_$answer" "$work/five"
  box=$(wait_window "$last" '^Vantel$') || fail "foreign: no question"
  grep -q "data folder $work/five/Files was opened on the computer elsewhere and not closed there" \
    "$work/foreign_$answer.log" || fail "foreign: the computer is not named"
  xdotool windowfocus --sync "$box" key "$answer"
  if [ "$answer" = Return ]; then
    wait_exit "$last"; rc=$?
    [ "$rc" = 1 ] || fail "foreign: exit code $rc after No"
    grep -q "host=elsewhere" "$work/five/Files/.vantel-lock" || fail "foreign: No took the lock"
  else
    wait_window "$last" "$main_title" >/dev/null || fail "foreign: no main window after Yes"
    grep -qx "pid=$last" "$work/five/Files/.vantel-lock" || fail "foreign: Yes did not take the lock"
    kill "$last"; wait_exit "$last"
  fi
done
echo "refused three times whatever the session, took over after kill -9 and a reused process number, asked for another computer's lock"
