#!/bin/bash
# Starts the program in a fresh working folder on a private X server, waits
# for its main window and checks that both folders were written back to the
# settings file, in a session without XDG_RUNTIME_DIR, of which the program
# says nothing.
set -u
program=$1
template=$2

work=$(mktemp -d)
cleanup() {
  [ -n "${app_pid:-}" ] && kill "$app_pid" 2>/dev/null
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -f "$work/app.log" ] && sed 's/^/  app: /' "$work/app.log"; exit 1; }

cp "$template" "$work/vantel.ini"
export XDG_DATA_HOME="$work/data-home"
unset XDG_RUNTIME_DIR

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"
unset QT_QPA_PLATFORM

(cd "$work" && exec "$program") >"$work/app.log" 2>&1 &
app_pid=$!

window=""
for _ in $(seq 200); do
  window=$(xdotool search --onlyvisible --name '^Vantel' 2>/dev/null | head -n1)
  [ -n "$window" ] && break
  kill -0 "$app_pid" 2>/dev/null || fail "the program ended before its window appeared"
  sleep 0.1
done
[ -n "$window" ] || fail "no window titled Vantel appeared"
echo "main window: $(xdotool getwindowname "$window")"

ini=$(tr -d '\r' < "$work/vantel.ini")
grep -qx "App=$work/" <<<"$ini" || fail "App not written back: $ini"
grep -qx "Files=$work/Files/" <<<"$ini" || fail "Files not written back: $ini"
[ -d "$work/Files" ] || fail "the Files folder was not created"
grep -q "XDG_RUNTIME_DIR" "$work/app.log" && fail "a warning about XDG_RUNTIME_DIR on stderr"
exit 0
