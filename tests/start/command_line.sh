#!/bin/bash
# The command line without a display: --version and --help answer and exit
# 0, an unknown option is refused.
program=$1
version=$2
. "$(dirname "$0")/session.sh"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
cd "$work"
out=$("$program" --version) || fail "--version exit code $?"
[ "$out" = "vantel $version" ] || fail "--version printed: $out"
out=$("$program" --help) || fail "--help exit code $?"
for o in --user-folder --help --version; do grep -q -- "$o" <<<"$out" || fail "--help does not list $o"; done
QT_QPA_PLATFORM=offscreen "$program" --no-such-option >"$work/unknown.log" 2>&1 && fail "an unknown option was accepted"
grep -q "no-such-option" "$work/unknown.log" || fail "the unknown option is not named"
[ -z "$(ls -A "$work" | grep -v unknown.log)" ] || fail "the command line left files behind"
echo "command line answered"
