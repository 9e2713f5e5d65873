#!/usr/bin/env bash
# Package check: CPack's Debian package of the build holds the expected files with their modes,
# takes its dependencies from the binaries, has no maintainer scripts, and lintian finds no error
# and no missing hardening.
# Usage: package_deb.sh BUILD_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

build=${1:?build directory}
install_need cpack dpkg-deb dpkg-shlibdeps file lintian
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "package: cpack failed" >&2
  exit 1
fi
deb=$(echo "$work"/*.deb)
multiarch=$(gcc -print-multiarch)  # kestrava's dialog module goes to the multiarch library folder

# Mode, owner and path of every entry; sizes and times change from build to build.
lab_check "dpkg-deb -c: the expected entries" equals "$(dpkg-deb -c "$deb" | awk '{print $1, $2, $6}')" \
"drwxr-xr-x root/root ./usr/
drwxr-xr-x root/root ./usr/bin/
-rwxr-xr-x root/root ./usr/bin/kestrava
-rwxr-xr-x root/root ./usr/bin/pilvorne
drwxr-xr-x root/root ./usr/lib/
drwxr-xr-x root/root ./usr/lib/systemd/
drwxr-xr-x root/root ./usr/lib/systemd/system/
-rw-r--r-- root/root ./usr/lib/systemd/system/pilvorne-relay.service
-rw-r--r-- root/root ./usr/lib/systemd/system/pilvorne-wake@.service
-rw-r--r-- root/root ./usr/lib/systemd/system/pilvorne.service
-rw-r--r-- root/root ./usr/lib/systemd/system/pilvorne@.service
drwxr-xr-x root/root ./usr/lib/$multiarch/
drwxr-xr-x root/root ./usr/lib/$multiarch/kestrava/
-rw-r--r-- root/root ./usr/lib/$multiarch/kestrava/kestrava-gtk.so
drwxr-xr-x root/root ./usr/share/
drwxr-xr-x root/root ./usr/share/applications/
-rw-r--r-- root/root ./usr/share/applications/kestrava.desktop
drwxr-xr-x root/root ./usr/share/doc/
drwxr-xr-x root/root ./usr/share/doc/tidewake/
-rw-r--r-- root/root ./usr/share/doc/tidewake/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/tidewake/copyright
-rw-r--r-- root/root ./usr/share/doc/tidewake/kestrava.html
drwxr-xr-x root/root ./usr/share/icons/
drwxr-xr-x root/root ./usr/share/icons/hicolor/
drwxr-xr-x root/root ./usr/share/icons/hicolor/16x16/
drwxr-xr-x root/root ./usr/share/icons/hicolor/16x16/apps/
-rw-r--r-- root/root ./usr/share/icons/hicolor/16x16/apps/kestrava.png
drwxr-xr-x root/root ./usr/share/icons/hicolor/32x32/
drwxr-xr-x root/root ./usr/share/icons/hicolor/32x32/apps/
-rw-r--r-- root/root ./usr/share/icons/hicolor/32x32/apps/kestrava.png
drwxr-xr-x root/root ./usr/share/man/
drwxr-xr-x root/root ./usr/share/man/man1/
-rw-r--r-- root/root ./usr/share/man/man1/kestrava.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/pilvorne.1.gz"

# dpkg-shlibdeps found the C library among the programs' libraries and GTK 3 among the dialog
# module's.
depends=$(dpkg-deb -f "$deb" Depends)
lab_check "Depends computed from the binaries: $depends" \
  grep -qE '(^|, )libc6 \(.*(, )libgtk-3-0 \(' <<<"$depends"
# What only some uses need: libpcap for pilvorne -Any and -Read, libcrypto when a relay key is
# used, xdg-open for the dialog's help.
lab_check "Recommends: libpcap, libssl3 and xdg-utils" equals "$(dpkg-deb -f "$deb" Recommends)" \
  "libpcap0.8, libssl3, xdg-utils"
lab_check "control archive: no maintainer scripts" equals \
  "$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | sort | tr '\n' ' ')" "./control ./md5sums "

# lintian's verdict is shown in full; errors fail the check.
lintian --fail-on error --display-info "$deb" >"$work/lintian.out" 2>&1
status=$?
grep -v '^running with root privileges' "$work/lintian.out"
lab_check "lintian: no errors" equals "$status" 0
# The hardening every Debian package has: symbols bound at start-up, the checked C library calls.
lab_check "lintian: no hardening-no-bindnow or hardening-no-fortify-functions" equals \
  "$(grep -E 'hardening-no-(bindnow|fortify-functions)' "$work/lintian.out")" ""

lab_finish
