#!/bin/bash
# Installs what is needed, builds Vantel and starts it in the working folder
# run/ (made on first use with the shipped vantel.ini). Without a display it
# starts the program on a virtual X server, saves a screenshot and ends it.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
sh scripts/build.sh
mkdir -p run
[ -f run/vantel.ini ] || cp resources/vantel.ini run/vantel.ini
cd run
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec ../build/bin/vantel
fi
shot="$PWD/vantel-screenshot.png"
exec 3>display.tmp
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s display.tmp ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 display.tmp)"
rm -f display.tmp
../build/bin/vantel &
app=$!
for _ in $(seq 100); do
  xdotool search --onlyvisible --name '^Vantel' >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 2
import -window root "$shot"
kill "$app" 2>/dev/null || true
kill "$xvfb" 2>/dev/null || true
wait 2>/dev/null || true
echo "No display: the program ran under Xvfb. Screenshot: $shot"
