#!/bin/bash
# The real program killed (kill -9) with a change unsaved and more text being
# typed into the next field: both were kept beside the data files, which stay
# as last saved; the next start asks "Recover Unsaved Event Data", Yes
# restores them, and a save writes them and lets the journal go.
program=$1
template=$2
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

# start NAME: starts the program in its working folder, its output in NAME.log.
start() {
  (cd "$app" && exec "$program") >"$work/$1.log" 2>&1 &
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

start second
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
for _ in $(seq 100); do grep -q '^annzed	pwqq	' "$files/VantelAdmin.txt" && break; sleep 0.1; done
grep -q '^annzed	pwqq	' "$files/VantelAdmin.txt" || fail "the restored changes were not saved: $(cat "$files/VantelAdmin.txt")"
[ -e "$journal" ] && fail "the journal is still there after the save"
kill "$second"
echo "restored after kill -9, with the text being typed, and saved"
