#!/usr/bin/env bash
# Lab: the programs installed into a temporary DESTDIR run from there: pilvorne -Version on a port
# another pilvorne holds prints its version and fails to bind (253); the installed kestrava's
# silent send reaches the installed pilvorne on the target, and its dialog opens the installed
# GTK module. Usage: installed_programs.sh BUILD_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

build=${1:?build directory}
install_need cmake
lab_require
work=$(mktemp -d)
listener=
trap 'lab_stop "$listener"; rm -rf "$work"; lab_cleanup' EXIT

install_tree "$build" "$work/dest" /usr
bin=$work/dest/usr/bin

sender_mac=02:54:57:00:01:0a
target_mac=02:54:57:00:01:14
lab_switch lan || lab_fail_or_skip "cannot create the switch"
lab_host sender lan 192.0.2.10/24 "$sender_mac" || lab_fail_or_skip "cannot create the sender"
lab_host target lan 192.0.2.20/24 "$target_mac" || lab_fail_or_skip "cannot create the target"

lab_exec target "$bin/pilvorne" >"$work/listener.out" 2>&1 &
listener=$!
lab_check "installed pilvorne listens on 1778" \
  lab_wait_for 5 grep -qx "Listening for magic packets on port no 1778" "$work/listener.out"

lab_exec target "$bin/pilvorne" -Version >"$work/second.out" 2>"$work/second.err"
status=$?
lab_check "second pilvorne -Version: its version line" equals "$(cat "$work/second.out")" \
  "pilvorne Version 1.0.1.2 (May 12 2005)"
lab_check "second pilvorne -Version: the port is in use" equals "$(cat "$work/second.err")" \
  "Binding socket failed! Error: 10048"
lab_check "second pilvorne -Version: exit status 253" equals "$status" 253

lab_exec sender env -u DISPLAY -u WAYLAND_DISPLAY timeout 10 \
  "$bin/kestrava" /IP=192.0.2.20 "/MAC=$target_mac" 2>"$work/send.err"
status=$?
lab_check "installed kestrava: silent send, exit status 255" equals "$status" 255
lab_check "installed kestrava: nothing on standard error" equals "$(cat "$work/send.err")" ""
lab_check "the target's pilvorne saw the wake" lab_expect_entry "$work/listener.out" 1 \
  "broadcast magic packet(hdr)" 118 "$(printf '%s' "$target_mac" | tr a-f A-F)" 192.0.2.10

# The installed kestrava opens the installed dialog module, from its library folder relative to
# bin/. GTK then finds no display (none is named that answers, in a home and runtime folder of
# its own), and kestrava says so.
module=$bin/../lib/$(gcc -print-multiarch)/kestrava/kestrava-gtk.so
mkdir -p "$work/home" "$work/run"
chmod 700 "$work/run"
env -i PATH="$PATH" HOME="$work/home" XDG_RUNTIME_DIR="$work/run" DISPLAY=none \
  LD_DEBUG=files LD_DEBUG_OUTPUT="$work/dialog.ld" timeout 20 "$bin/kestrava" 2>"$work/dialog.err"
status=$?
lab_check "installed kestrava: the installed dialog module is opened" \
  grep -qxF "$module" <(lab_mapped "$work/dialog.ld")
lab_check "installed kestrava: GTK finds no display, exit status 2" equals "$status" 2
lab_check "installed kestrava: no display is said" equals "$(cat "$work/dialog.err")" \
  "kestrava: cannot open the dialog: no graphical display (is DISPLAY set?); kestrava /IP=<address> /MAC=<mac address> sends without a window"

lab_finish
