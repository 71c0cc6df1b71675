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
for o in --user-folder --help --version; do grep -q -- "$o" <<<"$out" || fail "--help does not list $o"; done
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
EOF
rm -f "$work/full.log" "$work/usage.out" "$work/usage.log"
[ -z "$(ls -A "$work")" ] || fail "the command line left files behind: $(ls -A "$work")"
echo "command line answered"
