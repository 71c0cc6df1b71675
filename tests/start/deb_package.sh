#!/bin/bash
# Builds the Debian package from the build tree and checks what it holds, what
# it depends on, and that the program in it runs from the unpacked package.
build=$1
version=$2
. "$(dirname "$0")/session.sh"
id=example.townwhatson.Vantel
cpack --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1 || fail "cpack"
deb=$(ls "$work"/pkg/vantel_*.deb 2>/dev/null)
[ -f "$deb" ] || fail "no vantel_*.deb"
rm "$work/cpack.log"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/vantel ./usr/lib/vantel/libhelvex1.so ./usr/lib/vantel/libxzip.so \
         ./usr/share/applications/$id.desktop ./usr/share/metainfo/$id.metainfo.xml \
         ./usr/share/icons/hicolor/48x48/apps/$id.png ./usr/share/icons/hicolor/256x256/apps/$id.png \
         ./usr/share/man/man1/vantel.1.gz; do
  grep -qx -- "$f" <<<"$contents" || grep -qx -- "${f%.gz}" <<<"$contents" || fail "not in the package: $f"
done

[ "$(dpkg-deb -f "$deb" Package)" = vantel ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libc6 libqt6widgets6 libzip4; do
  grep -q "\b$lib\b" <<<"$depends" || fail "Depends lacks $lib"
done
grep -qi "helvex\|xzip" <<<"$depends" && fail "Depends names the package's own libraries"

dpkg-deb -x "$deb" "$work/root"
unset LD_LIBRARY_PATH DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
[ "$("$work/root/usr/bin/vantel" --version)" = "vantel $version" ] || fail "--version of the packaged program"
file "$work/root/usr/lib/vantel/libxzip.so" | grep -q "not stripped" && fail "libraries not stripped"
echo "package $(basename "$deb") holds the program, its libraries and desktop files"
