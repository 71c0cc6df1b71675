#!/bin/bash
# The command line without a display: --version and --help answer and exit
# 0, or 1 when they cannot be written; every usage error is named on stderr
# with exit code 2, before any display would be opened; Qt's own options
# are let through.
program=$1
version=$2
. "$(dirname "$0")/session.sh"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
export XDG_DATA_HOME="$work/data-home"
cd "$work"
out=$("$program" --version) || fail "--version exit code $?"
[ "$out" = "vantel $version" ] || fail "--version printed: $out"
out=$("$program" -platform offscreen -v) || fail "-platform offscreen -v: exit code $?"
[ "$out" = "vantel $version" ] || fail "-platform offscreen -v printed: $out"
out=$("$program" --help) || fail "--help exit code $?"
for o in --user-folder --help --version --export-ics --export-jsonld --import; do grep -q -- "$o" <<<"$out" || fail "--help does not list $o"; done
grep -qx "Your own folder (--user-folder): $XDG_DATA_HOME/vantel/" <<<"$out" || fail "--help does not name the user folder"
grep -q "^Home page: https\?://" <<<"$out" || fail "--help names no home page"
grep -q "^Report bugs at: ." <<<"$out" || fail "--help says nowhere to report bugs"

# Output that cannot be written: exit code 1 and the reason.
for o in --version --help; do
  "$program" $o >/dev/full 2>"$work/full.log"; rc=$?
  [ "$rc" = 1 ] || fail "$o to /dev/full: exit code $rc"
  grep -q "No space left on device" "$work/full.log" || fail "$o to /dev/full: $(cat "$work/full.log")"
done

# Usage errors: exit code 2, the error on stderr, nothing on stdout.
while read -r word args; do
  "$program" $args >"$work/usage.out" 2>"$work/usage.log"; rc=$?
  [ "$rc" = 2 ] || fail "$args: exit code $rc"
  [ -s "$work/usage.out" ] && fail "$args: wrote to stdout"
  grep -q -- "$word" "$work/usage.log" || fail "$args: the error does not name $word: $(cat "$work/usage.log")"
done <<'EOF'
no-such-option --no-such-option
bogus --version --bogus
stray --user-folder stray
user-folder --user-folder=here
export-ics --export-ics
together --export-ics a.ics --export-jsonld a.json
empty --export-jsonld=
import --import a.csv --export-ics a.ics
EOF
rm -f "$work/full.log" "$work/usage.out" "$work/usage.log"

# The exports run without a display: the saved data of the working folder
# to a file named from where the program started; a one-line reason and
# exit code 1 when there is nothing to export.
mkdir -p "$work/folder/Files" "$work/out"
( cd "$work/folder"
  "$program" --export-ics ../out/none.ics 2>"$work/export.log"; rc=$?
  [ "$rc" = 1 ] || fail "--export-ics without vantel.ini: exit code $rc"
  [ "$(wc -l <"$work/export.log")" = 1 ] && grep -q "vantel.ini" "$work/export.log" \
    || fail "--export-ics without vantel.ini said: $(cat "$work/export.log")"
  printf '[General]\nFiles=GETDIR\n' >vantel.ini
  "$program" --export-ics ../out/none.ics 2>"$work/export.log" && fail "--export-ics of no data succeeded"
  grep -q "VantelEvents.txt does not exist" "$work/export.log" || fail "no data: $(cat "$work/export.log")"
  printf 'EV1\tann\tpw\tDE\tBonn\tNRW\tKonzert\tKurz\t\t\t\t0000\t0000\t0000\t0000\t0000\t0000\t70\tFree\t\t\t\t\t\t\t\t\t\r\n' \
    >Files/VantelEvents.txt
  printf 'EV1\tTI1\tBonn\tNRW\t2025-06-01\t2025-06-02\t1930\t0000\t0000\t0000\t0000\t0000\t\r\n' >Files/VantelEventDates.txt
  "$program" --export-ics ../out/a.ics 2>"$work/export.log" || fail "--export-ics: $(cat "$work/export.log")"
  "$program" --export-jsonld ../out/a.json 2>"$work/export.log" || fail "--export-jsonld: $(cat "$work/export.log")"
  # --import adds a spreadsheet's events and saves; the same file again adds nothing.
  printf 'Title;Date;Start time;Place\nMarket;2025-06-07;10:00;Town hall\n' >../out/m.csv
  "$program" --import ../out/m.csv >"$work/import.out" 2>"$work/export.log" || fail "--import: $(cat "$work/export.log")"
  grep -q "Market" Files/VantelEvents.txt || fail "--import saved no event: $(cat "$work/import.out")"
  "$program" --import ../out/m.csv >"$work/import.out" 2>"$work/export.log" || fail "--import again: $(cat "$work/export.log")"
  [ "$(grep -c Market Files/VantelEvents.txt)" = 1 ] || fail "--import of the same file added it twice"
  grep -qi "duplicate\|already" "$work/import.out" || fail "--import again reported: $(cat "$work/import.out")" )
grep -q "^SUMMARY:Konzert"$'\r'"$" "$work/out/a.ics" || fail "the calendar file holds no event"
grep -q '"name": "Konzert"' "$work/out/a.json" || fail "the web page data holds no event"
rm -rf "$work/folder" "$work/out" "$work/export.log" "$work/import.out"
[ -z "$(ls -A "$work")" ] || fail "the command line left files behind: $(ls -A "$work")"
echo "command line answered"
