#!/usr/bin/env bash
# kestrava.exe's dialog under Wine on a virtual display, on the lab LAN: fields typed and
# buttons clicked with xdotool, the three kinds of wake packet seen by a Linux pilvorne.
# Usage: windows_dialog.sh PILVORNE ARTIFACTS_DIR [WINDOWS_BUILD_DIR]
set -u
PILVORNE=$(realpath "$1")
ARTIFACTS=$2
WINDOWS_BUILD=${3:-}
source "$(dirname "$0")/lib.sh"
[ -n "$WINDOWS_BUILD" ] ||
  lab_fail_or_skip "no Windows build named (configure with -DTIDEWAKE_WINDOWS_BUILD_DIR=..., as make test does)"
KESTRAVA=$WINDOWS_BUILD/sender/kestrava.exe
PROBE=$WINDOWS_BUILD/tests/lab/windows_dialog_probe.exe
[ -f "$KESTRAVA" ] && [ -f "$PROBE" ] ||
  lab_fail_or_skip "no Windows build at $WINDOWS_BUILD (make test-windows)"
KESTRAVA=$(realpath "$KESTRAVA")
PROBE=$(realpath "$PROBE")
lab_require "$PILVORNE" wine wineserver wineboot Xvfb xdotool timeout

SENDER_IP=192.0.2.1
TARGET_IP=192.0.2.10
BROADCAST_IP=192.0.2.255
TARGET_MAC=00:0C:29:AB:CD:EF
PORT=40009
CAPTION="Tidewake Lab"
lab_switch lan || lab_fail_or_skip "cannot create the switch"
lab_host sender lan "$SENDER_IP/24" 02:00:00:00:00:01 || lab_fail_or_skip "cannot create the sender"
lab_host target lan "$TARGET_IP/24" 02:00:00:00:00:02 || lab_fail_or_skip "cannot create the target"
lab_wait_for 5 lab_exec sender ping -c1 -W1 "$TARGET_IP" || lab_fail_or_skip "the lab LAN does not come up"

WORK=$(mktemp -d /tmp/tidewake-windialog.XXXXXX)
OUT=$WORK/pilvorne.out
ERR=$WORK/pilvorne.err
XVFB_PID= LISTENER_PID= KESTRAVA_PID=
# Wine creates the sockets in its server, so the server runs inside the sender's namespace:
# a prefix of this test's own guarantees that no server started elsewhere serves it.
export WINEPREFIX=$WORK/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
finish() {
  [ -d "$WINEPREFIX" ] && lab_exec sender wineserver -k >/dev/null 2>&1
  lab_stop "$KESTRAVA_PID" "$LISTENER_PID" "$XVFB_PID"
  rm -rf "$WORK"
  lab_cleanup
}
trap finish EXIT

# A display of its own; Xvfb picks a free number. Its unix socket is reachable from the
# namespaces, which share the file system.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WORK/display" 2>/dev/null &
XVFB_PID=$!
lab_wait_for 10 test -s "$WORK/display" || lab_fail_or_skip "Xvfb does not start"
export DISPLAY=:$(head -n1 "$WORK/display")

lab_exec sender wineboot -i </dev/null >/dev/null 2>&1 || lab_fail_or_skip "wineboot cannot make a prefix"

lab_exec target "$PILVORNE" -PortNo=$PORT >"$OUT" 2>"$ERR" &
LISTENER_PID=$!
lab_check "pilvorne listens on port $PORT" \
  lab_wait_for 5 grep -qx "Listening for magic packets on port no $PORT" "$OUT"

# Debug=1: the status line shows each destination.
lab_exec sender wine "$KESTRAVA" /Debug=1 Lab </dev/null >/dev/null 2>>"$ERR" &
KESTRAVA_PID=$!
WINDOW=
find_window() { WINDOW=$(xdotool search --onlyvisible --name "^$CAPTION\$" 2>/dev/null | head -n1); [ -n "$WINDOW" ]; }
for ((i = 0; i < 300; i++)); do find_window && break; sleep 0.1; done
lab_check "the dialog opens with the caption \"$CAPTION\"" test -n "$WINDOW"
[ -n "$WINDOW" ] || { cat "$ERR" >&2; lab_finish; exit 1; }
sleep 0.5

# The fields' texts as the dialog holds them, one line per control id.
probe() { lab_exec sender wine "$PROBE" "$CAPTION" "$@" 2>/dev/null | tr -d '\r'; }
# Without a window manager the X window is the dialog's client area, 344 x 237 dialog units.
click() {
  local width height
  eval "$(xdotool getwindowgeometry --shell "$WINDOW")"
  width=$WIDTH height=$HEIGHT
  xdotool mousemove --window "$WINDOW" $(($1 * width / 344)) $(($2 * height / 237)) click 1
  sleep 0.3
}
# Replaces the text of a field: click into it (an address field: into its first part),
# select to its end, type.
type_into() {
  click "$1" "$2"
  xdotool key --clearmodifiers Home shift+End
  xdotool type --delay 60 "$3"
  sleep 0.3
}
# Positions (dialog units) inside the fields and buttons of template 101.
TARGET_NAME_AT="100 46"
IP_AT="66 67"
MAC_AT="265 67"
PORT_AT="105 125"
SEND_MAGIC_AT="82 164"
SEND_SHORT_AT="252 164"
SEND_DIRECT_AT="252 184"

# The start-up subnet mask is the sender's own (/24), read when the program started.
lab_check "the Subnet Mask field shows the sender's mask ($(probe 1003))" \
  test "$(probe 1003)" = "255.255.255.0"
lab_check "the Port Number field shows 1778 ($(probe 1009))" test "$(probe 1009)" = "1778"

# An address and a MAC typed, then a target name: the name makes them stale.
type_into $IP_AT "$TARGET_IP"
type_into $MAC_AT "$TARGET_MAC"
lab_check "the IP Address field holds what was typed ($(probe 1001))" \
  test "$(probe 1001)" = "$TARGET_IP"
type_into $TARGET_NAME_AT "wakeme"
fields=$(probe 1001 1002 | tr '\n' '|')
lab_check "typing into Target Name clears IP Address and Mac Address ($fields)" test "$fields" = "||"

# Without a MAC nothing is sent: a warning box owned by the dialog says so; Enter closes it.
click $SEND_MAGIC_AT
BOX=
for ((i = 0; i < 50; i++)); do
  BOX=$(xdotool search --onlyvisible --name '^Tidewake$' 2>/dev/null | head -n1)
  [ -n "$BOX" ] && break
  sleep 0.1
done
lab_check "Send Magic Packet without a MAC shows a \"Tidewake\" message box" test -n "$BOX"
if [ -n "$BOX" ]; then
  xdotool windowfocus "$BOX" 2>/dev/null
  xdotool key --clearmodifiers Return
  lab_check "the message box closes" lab_wait_for 5 bash -c "! xdotool search --onlyvisible --name '^Tidewake\$'"
fi

type_into $IP_AT "$TARGET_IP"
type_into $MAC_AT "${TARGET_MAC//:/-}"
type_into $PORT_AT "$PORT"
shot() { command -v import >/dev/null && import -window "$WINDOW" "$ARTIFACTS/$1" 2>/dev/null; }

expect_entry() { lab_expect_entry "$OUT" "$1" "$2" "$3" "$TARGET_MAC" "$SENDER_IP"; }
status_is() { test "$(probe 1010)" = "Pkt. sent to $1"; }

click $SEND_MAGIC_AT
lab_check "Send Magic Packet: a 118-byte broadcast magic packet" \
  expect_entry 1 "broadcast magic packet(hdr)" 118
lab_check "the status line names the broadcast address ($(probe 1010))" status_is $BROADCAST_IP
shot kestrava-windows.png
click $SEND_SHORT_AT
lab_check "Send Short Unsuspend Datagram: a 28-byte datagram" \
  expect_entry 2 "short unsuspend(hdr)" 28
lab_check "the status line names the target ($(probe 1010))" status_is $TARGET_IP
click $SEND_DIRECT_AT
lab_check "Send Magic Packet Direct: a 120-byte direct magic packet" \
  expect_entry 3 "direct magic packet(hdr)" 120

# Enter in a field presses the default button: one more broadcast magic packet.
click $PORT_AT
xdotool key --clearmodifiers Return
sleep 0.3
lab_check "Enter sends a broadcast magic packet" \
  expect_entry 4 "broadcast magic packet(hdr)" 118

# Esc closes the dialog and the program ends with status 0.
xdotool key --clearmodifiers Escape
status=
for ((i = 0; i < 100; i++)); do
  if ! kill -0 "$KESTRAVA_PID" 2>/dev/null; then
    wait "$KESTRAVA_PID"; status=$?; KESTRAVA_PID=; break
  fi
  sleep 0.1
done
lab_check "Esc closes the dialog and kestrava.exe exits with 0 (status ${status:-running})" \
  test "${status:-x}" = 0

if [ "$LAB_FAILURES" -ne 0 ]; then
  echo "--- pilvorne" >&2; cat "$OUT" >&2
  echo "--- stderr" >&2; cat "$ERR" >&2
fi
lab_finish
