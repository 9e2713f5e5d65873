#!/usr/bin/env bash
# Install check: the installed tree holds exactly the expected files, and the man pages, the
# desktop entry and the systemd units pass mandoc, desktop-file-validate and systemd-analyze.
# Usage: installed_tree.sh BUILD_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

build=${1:?build directory}
install_need cmake mandoc desktop-file-validate systemd-analyze man
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A package-style install: prefix /usr under a DESTDIR. kestrava's dialog module goes to the
# multiarch library folder.
multiarch=$(gcc -print-multiarch)
dest=$work/dest
install_tree "$build" "$dest" /usr
lab_check "DESTDIR install: the expected files" equals "$(cd "$dest" && find . ! -type d | LC_ALL=C sort)" \
"./usr/bin/kestrava
./usr/bin/pilvorne
./usr/lib/systemd/system/pilvorne-relay.service
./usr/lib/systemd/system/pilvorne-wake@.service
./usr/lib/systemd/system/pilvorne.service
./usr/lib/systemd/system/pilvorne@.service
./usr/lib/$multiarch/kestrava/kestrava-gtk.so
./usr/share/applications/kestrava.desktop
./usr/share/doc/tidewake/changelog.gz
./usr/share/doc/tidewake/copyright
./usr/share/doc/tidewake/kestrava.html
./usr/share/icons/hicolor/16x16/apps/kestrava.png
./usr/share/icons/hicolor/32x32/apps/kestrava.png
./usr/share/man/man1/kestrava.1.gz
./usr/share/man/man1/pilvorne.1.gz"
listed=$(sort "$build/install_manifest.txt")
lab_check "DESTDIR install: the units name the program under the prefix, not under DESTDIR" equals \
  "$(grep -h '^ExecStart=' "$dest"/usr/lib/systemd/system/*.service | LC_ALL=C sort)" \
  "ExecStart=/usr/bin/pilvorne
ExecStart=/usr/bin/pilvorne -Enable -Interface=%i
ExecStart=/usr/bin/pilvorne -PortNo=%i
ExecStart=/usr/bin/pilvorne -Relay -Key=%d/relay.key \$PILVORNE_RELAY_OPTIONS"

# The uninstall reads the install's list: every file goes, and the folders that are the tree's
# own (lib/<multiarch>/kestrava, share/doc/tidewake) with them.
lab_check "the install's list names every installed file" equals "$listed" \
  "$(cd "$dest" && find . ! -type d | sed 's/^\.//' | sort)"
uninstall_copy=$work/uninstalled
cp -a "$dest" "$uninstall_copy"
DESTDIR=$uninstall_copy "$here/../../scripts/uninstall.sh" "$build" >/dev/null
lab_check "uninstall: no installed file is left" equals "$(cd "$uninstall_copy" && find . ! -type d)" ""
lab_check "uninstall: the tree's own folders are gone, shared ones stay" equals \
  "$(cd "$uninstall_copy" && find . -name kestrava -o -name tidewake -o -path ./usr/bin)" "./usr/bin"

# mandoc's lint, every level down to style. Its check of cross-references looks only in the
# machine's own man folder, where this tree's pages are not installed: that message alone is
# not a fault of the page.
for page in kestrava pilvorne; do
  lint=$(mandoc -T lint -W style "$dest/usr/share/man/man1/$page.1.gz" 2>&1 |
    grep -E ': (STYLE|WARNING|ERROR|UNSUPP|BADARG):' | grep -v 'STYLE: referenced manual not found')
  lab_check "mandoc -T lint $page.1: no messages" equals "$lint" ""
done

lab_check "desktop-file-validate kestrava.desktop: no messages" equals \
  "$(desktop-file-validate "$dest/usr/share/applications/kestrava.desktop" 2>&1)" ""

# systemd-analyze verify checks that ExecStart names an executable file and that the man page
# named by Documentation= opens, so the units are verified in a tree installed under its own
# prefix, with that tree's man pages on MANPATH.
prefix=$work/prefix
install_tree "$build" "" "$prefix"
for unit in pilvorne.service pilvorne@.service pilvorne-wake@.service pilvorne-relay.service; do
  verdict=$(MANPATH="$prefix/share/man:" systemd-analyze verify "$prefix/lib/systemd/system/$unit" 2>&1; echo "status $?")
  lab_check "systemd-analyze verify $unit: no messages" equals "$verdict" "status 0"
done

lab_finish
