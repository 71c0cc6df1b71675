#!/bin/sh
# Installs everything needed to build, run and test Vantel on Debian 12 (run as root).
set -e
export DEBIAN_FRONTEND=noninteractive
PKGS="build-essential cmake pkg-config git
 qt6-base-dev qt6-base-dev-tools libqt6svg6-dev libgl-dev
 libgtest-dev libgmock-dev googletest libbenchmark-dev
 libzip-dev libdeflate-dev zlib1g-dev libssl-dev zip unzip python3
 libical-dev python3-icalendar
 libcups2-dev cups-daemon cups-client
 libsystemd-dev dbus
 libx11-dev libxrandr-dev
 xvfb xauth x11-utils xdotool imagemagick
 librsvg2-bin fonts-dejavu-core
 locales
 desktop-file-utils appstream dpkg-dev fakeroot file man-db lintian devscripts
 xdg-utils
 lld llvm binutils-mingw-w64-x86-64
 clang libclang-rt-14-dev"
missing=""
for p in $PKGS; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  apt-get update
  apt-get install -y --no-install-recommends $missing
fi
# Locales the tests name explicitly.
need_gen=0
for l in de_DE.UTF-8 en_US.UTF-8 sv_SE.UTF-8 nl_NL.UTF-8 en_GB.UTF-8; do
  if ! locale -a 2>/dev/null | sed 's/utf8/UTF-8/' | grep -qx "$l"; then
    sed -i "s/^# *\($l UTF-8\)/\1/" /etc/locale.gen
    grep -q "^$l UTF-8" /etc/locale.gen || echo "$l UTF-8" >> /etc/locale.gen
    need_gen=1
  fi
done
[ "$need_gen" = 1 ] && locale-gen
exit 0
