#!/bin/bash
# The real program killed (kill -9) with a change unsaved and more text being
# typed into the next field: both were kept beside the data files, which stay
# as last saved; the next start asks "Recover Unsaved Event Data", Yes
# restores them, and a save writes them. That save is killed in its last
# moment (the save has taken effect, the journal is not removed yet): the
# start after it asks nothing, finds the changes saved and lets the journal go.
program=$1
template=$2
faults=$3
. "$(dirname "$0")/session.sh"
start_xvfb
private_dirs

app="$work/app"
files="$app/Files"
mkdir -p "$files"
cp "$template" "$app/vantel.ini"
printf 'ann\tpw\t%s/\tDE\tNRW\tBonn\t\r\n' "$files" >"$files/VantelAdmin.txt"
printf 'EV1\tann\tpw\tDE\tBonn\tNRW\tFair\tshort\t\t\t\t0000\t0000\t0000\t0000\t0000\t0000\t70\tFree\t\t\t\t\t\t\t\t\r\n' \
  >"$files/VantelEvents.txt"
printf 'EV1\tTI1\tBonn\tNRW\t2025-06-01\t2025-06-02\t1900\t0000\t0000\t0000\t0000\t0000\t\r\n' >"$files/VantelEventDates.txt"
saved=$(cat "$files"/Vantel*.txt | sha256sum)
journal="$files/VantelUnsaved.journal"

# start NAME [ENV...]: starts the program in its working folder under env ENV, its output in NAME.log.
start() {
  (cd "$app" && exec env "${@:2}" "$program") >"$work/$1.log" 2>&1 &
  pids+=($!)
  last=$!
}

start first
first=$last
window=$(wait_window "$first" "$main_title") || fail "first: no main window"
# The admin page is in front: click into its first field, the login id
# (the window keeps its size), type behind the login and leave the field,
# which commits the edit.
xdotool windowfocus --sync "$window"
sleep 1
xdotool mousemove --window "$window" 500 192 click 1
sleep 0.3
xdotool key --delay 50 End
xdotool type --delay 50 "zed"
xdotool key --delay 50 Tab
for _ in $(seq 100); do [ -s "$journal" ] && break; sleep 0.1; done
[ -s "$journal" ] || fail "no journal within 10 s of the change"
mode=$(stat -c %a "$journal")
[ "$mode" = 600 ] || fail "journal mode $mode"
# Tab went on to the password: typed behind it, the field keeps the keys.
xdotool key --delay 50 End
xdotool type --delay 50 "qq"
for _ in $(seq 100); do grep -aq 'pwqq' "$journal" && break; sleep 0.1; done
grep -aq 'pwqq' "$journal" || fail "the text being typed was not kept within 10 s"

kill -9 "$first"
wait "$first" 2>/dev/null
[ "$(cat "$files"/Vantel*.txt | sha256sum)" = "$saved" ] || fail "the data files changed without a save"

# The second run dies right after its save took effect (faults.c).
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
start second LD_PRELOAD="$faults" VANTEL_FAULTS="unlink:.vantel-save:kill"
second=$last
box=$(wait_window "$second" '^Recover Unsaved Event Data$') || fail "second: no recovery question"
xdotool windowfocus --sync "$box"
xdotool key --delay 50 Return # Yes, the default
window=$(wait_window "$second" "$main_title") || fail "second: no main window after the question"
[ "$(cat "$files"/Vantel*.txt | sha256sum)" = "$saved" ] || fail "restoring wrote the data files"
[ -s "$journal" ] || fail "the journal went before a save"

# Save (Ctrl+S works while Save is enabled) writes the restored change.
xdotool windowfocus --sync "$window"
sleep 0.3
xdotool key --delay 50 ctrl+s
{ wait_exit "$second"; rc=$?; } 2>/dev/null
[ "$rc" = 137 ] || fail "second: not killed while saving (exit code $rc)"
grep -q '^annzed	pwqq	' "$files/VantelAdmin.txt" || fail "the restored changes were not saved: $(cat "$files/VantelAdmin.txt")"
[ -s "$journal" ] || fail "the journal went before the kill"

# The changes are in the files: nothing to restore, nothing damaged.
start third
window=$(wait_window "$last" "$main_title") || fail "third: no main window"
sleep 0.5
boxes=$(xdotool search --all --onlyvisible --pid "$last" --name '.' | grep -vx "$window")
[ -z "$boxes" ] || fail "third: a message at the start: $(for b in $boxes; do xdotool getwindowname "$b"; done)"
[ -e "$journal" ] && fail "the journal of the saved change is still there"
ls "$files" | grep -q 'damaged' && fail "the journal was put aside as damaged"
kill "$last"
echo "restored after kill -9 with the text being typed, saved, and the save killed in its last moment was taken as saved"
