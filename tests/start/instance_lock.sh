#!/bin/bash
# Two real instances of the program on one data folder: the second one,
# started from another working folder, names the folder and ends without its
# window; a lock left by a killed instance is taken over.
program=$1
template=$2
. "$(dirname "$0")/session.sh"
start_xvfb
private_dirs

# start NAME FOLDER: starts the program in FOLDER, its output in NAME.log.
start() {
  (cd "$2" && exec "$program") >"$work/$1.log" 2>&1 &
  pids+=($!)
  last=$!
}

# expect_refused NAME: instance NAME named the open folder and ended, with exit code 1, once its message was answered.
expect_refused() {
  local pid=$last box
  box=$(wait_window "$pid" '^Vantel$') || fail "$1: no message window"
  [ -n "$(xdotool search --all --onlyvisible --pid "$pid" --name "$main_title")" ] && fail "$1: the main window opened"
  grep -q "data folder $work/one/Files is already open" "$work/$1.log" || fail "$1: the folder is not named"
  xdotool windowfocus --sync "$box" key Return
  wait_exit "$pid"; rc=$?
  [ "$rc" = 1 ] || fail "$1: exit code $rc after the message"
}

mkdir "$work/one" "$work/two" "$work/three" "$work/four"
cp "$template" "$work/one/vantel.ini"
start first "$work/one"
first=$last
wait_window "$first" "$main_title" >/dev/null || fail "first: no main window"

# Another working folder whose settings name the same data folder through a symbolic link.
ln -s "$work/one" "$work/link"
printf '[General]\r\nApp=GETDIR\r\nFiles=%s/link/Files/\r\n' "$work" >"$work/two/vantel.ini"
start second "$work/two"
expect_refused second

# A data folder of its own is not held up by the lock of another.
cp "$template" "$work/three/vantel.ini"
start third "$work/three"
wait_window "$last" "$main_title" >/dev/null || fail "third: no main window on its own data folder"
kill "$last"

# The lock follows the admin record: a "Files" folder whose admin record names the open folder.
cp "$template" "$work/four/vantel.ini"
mkdir "$work/four/Files"
printf 'me\tpw\t%s/one/Files/\tUS\tTexas\tAustin\t\r\n' "$work" >"$work/four/Files/VantelAdmin.txt"
start fourth "$work/four"
expect_refused fourth

# A crash leaves the lock behind; the next start takes it over.
kill -9 "$first"
wait "$first" 2>/dev/null
ls "$XDG_RUNTIME_DIR"/vantel-*.lock >/dev/null 2>&1 || fail "no lock file left by the killed instance"
start after_crash "$work/two"
wait_window "$last" "$main_title" >/dev/null || fail "after_crash: the lock of the killed instance was not taken over"
kill "$last"; wait_exit "$last"
echo "refused twice, took over after kill -9"
