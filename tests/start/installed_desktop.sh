#!/bin/bash
# Installs the build into a scratch prefix and checks the installed program
# as a desktop would meet it: the files where desktops look for them, the
# checkers' verdicts, the program finding its libraries by its run path, and
# a start through the desktop entry's Exec line in a fresh per-user folder.
build=$1
version=$2
. "$(dirname "$0")/session.sh"
id=example.townwhatson.Vantel
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || fail "cmake --install failed"
rm "$work/install.log"

for f in bin/vantel lib/vantel/libhelvex1.so lib/vantel/libxzip.so \
         share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
         share/icons/hicolor/scalable/apps/$id.svg share/man/man1/vantel.1.gz \
         share/doc/vantel/help/admin.htm share/doc/vantel/help/eventdates.htm; do
  [ -f "$prefix/$f" ] || fail "not installed: $f"
done
for size in 16 32 48 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png"
  [ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = "${size}x${size}" ] || fail "no ${size}x${size} icon"
done
desktop-file-validate "$prefix/share/applications/$id.desktop" || fail "desktop-file-validate"
appstreamcli validate --pedantic --no-net "$prefix/share/metainfo/$id.metainfo.xml" >"$work/appstream.log" 2>&1 \
  || fail "appstreamcli validate"
grep -q "<id>$id</id>" "$prefix/share/metainfo/$id.metainfo.xml" || fail "metainfo id"
grep -q "<release version=\"$version\" date=\"[0-9-]*\"" "$prefix/share/metainfo/$id.metainfo.xml" || fail "metainfo release"
man --warnings -l "$prefix/share/man/man1/vantel.1.gz" 2>&1 >/dev/null | grep . && fail "man page warnings"
zcat "$prefix/share/man/man1/vantel.1.gz" | grep -q "^\.TH VANTEL 1 \"[0-9]\{4\}-" || fail "the manual page is not dated"

# The installed program, without a display and without help from LD_LIBRARY_PATH.
unset LD_LIBRARY_PATH DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
ldd "$prefix/bin/vantel" | grep -q "libhelvex1.so => $prefix/\(bin/\.\./\)\?lib/vantel/libhelvex1.so" || fail "libhelvex1 not found by the run path"
[ "$("$prefix/bin/vantel" --version)" = "vantel $version" ] || fail "--version of the installed program"
# An empty entry in a run path is the current folder: the program would take
# any library of the folder it is started in before the system's.
for f in "$build/bin/vantel" "$build/bin/libhelvex1.so" "$build/bin/libxzip.so" "$build/bin/libhelvex1print.so" \
         "$prefix/bin/vantel" "$prefix"/lib/vantel/*.so; do
  runpath=$(readelf -d "$f" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]$/\1/p')
  [ -n "$runpath" ] || fail "no run path in $f"
  case ":$runpath:" in *::*) fail "empty entry in the run path of $f: $runpath" ;; esac
done

# The menu entry's command, run as a desktop runs it: from an unrelated
# folder, the program found on PATH, no vantel.ini anywhere yet.
start_xvfb
export XDG_DATA_HOME="$work/data-home" XDG_RUNTIME_DIR="$work/runtime" PATH="$prefix/bin:$PATH"
mkdir -m 700 "$XDG_RUNTIME_DIR"
exec_line=$(sed -n 's/^Exec=//p' "$prefix/share/applications/$id.desktop")
(cd / && exec $exec_line) >"$work/menu.log" 2>&1 &
app=$!; pids+=($app)
wait_window "$app" "$main_title" >/dev/null || fail "the menu entry's command opened no main window"
# The zip component is registered from lib/vantel/ once the window shows; a failure would say "Error".
sleep 1
[ -n "$(xdotool search --all --onlyvisible --pid "$app" --name '^Error$')" ] && fail "the installed program could not register libxzip.so"
grep -q "lib/vantel/libxzip.so" "$XDG_DATA_HOME/vantel/components.ini" || fail "libxzip.so not registered from lib/vantel/"
user="$XDG_DATA_HOME/vantel"
ini=$(tr -d '\r' <"$user/vantel.ini")
grep -qx "App=$user/" <<<"$ini" || fail "App in the user folder's vantel.ini: $ini"
grep -qx "Files=$user/Files/" <<<"$ini" || fail "Files in the user folder's vantel.ini: $ini"
[ -d "$user/Files" ] || fail "no data folder in the user folder"
kill "$app"; wait_exit "$app"

# Started by hand in a folder without vantel.ini: the "ini File" message, no window, exit 1.
mkdir "$work/empty"
(cd "$work/empty" && exec vantel) >"$work/by-hand.log" 2>&1 &
app=$!; pids+=($app)
box=$(wait_window "$app" '^ini File$') || fail "no ini File message"
[ -n "$(xdotool search --all --onlyvisible --pid "$app" --name "$main_title")" ] && fail "a main window opened"
xdotool windowfocus --sync "$box" key Return
wait_exit "$app"; rc=$?
[ "$rc" = 1 ] || fail "exit code $rc after the ini File message"
[ -e "$work/empty/vantel.ini" ] && fail "a vantel.ini was made in the folder started from"
echo "installed tree complete; menu start made $user"
