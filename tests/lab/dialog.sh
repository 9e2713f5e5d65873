#!/usr/bin/env bash
# kestrava's dialog on a virtual display, driven by keyboard and mouse on the lab LAN: name
# lookup, MAC lookup and the three send buttons, with pilvorne on the target as the witness.
# A mistyped option after a full target opens the dialog, which names it in its status line.
# The help button hands the help page to xdg-open (a stand-in here), and says so when it fails.
# Usage: dialog.sh KESTRAVA PILVORNE SELECTION_TOOL ARTIFACTS_DIR LABELS_MODULE
set -u
KESTRAVA=$(realpath "$1")
PILVORNE=$(realpath "$2")
SELECTION=$(realpath "$3")
ARTIFACTS=$4
LABELS_MODULE=$(realpath "$5")
source "$(dirname "$0")/lib.sh"
lab_require "$KESTRAVA" "$PILVORNE" "$SELECTION" "$LABELS_MODULE" Xvfb xdotool timeout

SENDER_IP=192.0.2.1
TARGET_IP=192.0.2.10
TARGET_MAC=00:0C:29:AB:CD:EF
TARGET_NAME=wakeme
lab_switch lan || lab_fail_or_skip "cannot create the switch"
lab_host sender lan "$SENDER_IP/24" 02:00:00:00:00:01 || lab_fail_or_skip "cannot create the sender"
lab_host target lan "$TARGET_IP/24" "${TARGET_MAC,,}" || lab_fail_or_skip "cannot create the target"
lab_wait_for 5 lab_exec sender ping -c1 -W1 "$TARGET_IP" || lab_fail_or_skip "the lab LAN does not come up"
lab_exec sender ip neigh flush all

# The sender's own hosts file: `ip netns exec` lays /etc/netns/<namespace>/hosts over /etc/hosts.
NETNS_ETC=/etc/netns/$(lab_ns sender)
OUT=$(mktemp)
ERR=$(mktemp)
DISPLAY_FILE=$(mktemp)
LABELS=$(mktemp)
OPENER_DIR=$(mktemp -d)
XVFB_PID= LISTENER_PID= KESTRAVA_PID=
finish() {
  lab_stop "$KESTRAVA_PID" "$LISTENER_PID" "$XVFB_PID"
  rm -rf "$NETNS_ETC" "$OPENER_DIR"
  rmdir /etc/netns 2>/dev/null
  rm -f "$OUT" "$ERR" "$DISPLAY_FILE" "$LABELS" "$LABELS.partial"
  lab_cleanup
}
trap finish EXIT
mkdir -p "$NETNS_ETC"
printf '127.0.0.1 localhost\n%s %s\n' "$TARGET_IP" "$TARGET_NAME" >"$NETNS_ETC/hosts"

# A display of its own; Xvfb picks a free number. Its unix socket is reachable from the
# namespaces, which share the file system.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$DISPLAY_FILE" >/dev/null 2>&1 &
XVFB_PID=$!
lab_wait_for 10 test -s "$DISPLAY_FILE" || lab_fail_or_skip "Xvfb does not start"
export DISPLAY=:$(head -n1 "$DISPLAY_FILE")
export NO_AT_BRIDGE=1

# Started without the lab_exec function's subshell, so that $! is the program itself and
# stopping it reaps it.
ip netns exec "$(lab_ns target)" "$PILVORNE" >"$OUT" 2>"$ERR" &
LISTENER_PID=$!
lab_check "pilvorne listens on port 1778" \
  lab_wait_for 5 grep -qx "Listening for magic packets on port no 1778" "$OUT"

# Debug=1: the status line shows each destination (seen in the screenshot).
ip netns exec "$(lab_ns sender)" "$KESTRAVA" /Debug=1 Lab >/dev/null 2>>"$ERR" &
KESTRAVA_PID=$!
# wait_for_window CAPTION: waits up to 10 s for a visible window with that whole caption; its
# id in $WINDOW (empty when none came). focus_window gives it the keyboard focus.
wait_for_window() {
  WINDOW=
  for ((i = 0; i < 100; i++)); do
    WINDOW=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1)
    [ -n "$WINDOW" ] && return 0
    sleep 0.1
  done
  return 1
}
focus_window() {
  xdotool windowfocus --sync "$WINDOW" 2>/dev/null || xdotool windowfocus "$WINDOW"
  sleep 0.3
}
wait_for_window "Tidewake Lab"
lab_check "the dialog opens with the caption \"Tidewake Lab\"" test -n "$WINDOW"
[ -n "$WINDOW" ] || { cat "$ERR" >&2; lab_finish; exit 1; }
focus_window

shot() { command -v import >/dev/null && import -window "$WINDOW" "$ARTIFACTS/$1" 2>/dev/null; }
key() { xdotool key --clearmodifiers --delay 50 "$@"; sleep 0.3; }

# Clicks at a place in the dialog, in dialog units of the 344 x 237 template.
click_at() {
  local du_x=$1 du_y=$2 width height
  eval "$(xdotool getwindowgeometry --shell "$WINDOW")"
  width=$WIDTH height=$HEIGHT
  xdotool mousemove --window "$WINDOW" $((du_x * width / 344)) $((du_y * height / 237)) click 1
  sleep 0.2
}
# Clicks into a field and reads the field's text through the primary selection.
read_field() {
  click_at "$1" "$2"
  xdotool key --clearmodifiers ctrl+a
  sleep 0.2
  timeout 5 "$SELECTION"
}

# The target name, typed into the focused Target Name field, resolved by Alt+R.
xdotool type --delay 40 "$TARGET_NAME"
sleep 0.2
key alt+r
# Alt+G: the MAC lookup pings the address (up to half a second) and reads the ARP table.
key alt+g
sleep 1
MAC_FIELD=$(read_field 265 67)
lab_check "the Mac Address field shows the MAC with '-' ($MAC_FIELD)" \
  test "$MAC_FIELD" = "${TARGET_MAC//:/-}"
NAME_FIELD=$(read_field 105 46)
lab_check "the Target Name field keeps the name ($NAME_FIELD)" test "$NAME_FIELD" = "$TARGET_NAME"

# The three send buttons by their mnemonics. The direct kinds go to the IP Address field's
# address, so their arrival shows that the name lookup filled it in.
key alt+m
key alt+u
key alt+d
shot kestrava-dialog-lab.png

expect_entry() { lab_expect_entry "$OUT" "$1" "$2" "$3" "$TARGET_MAC" "$SENDER_IP"; }
lab_check "Send Magic Packet: a 118-byte broadcast magic packet" \
  expect_entry 1 "broadcast magic packet(hdr)" 118
lab_check "Send Short Unsuspend Datagram: a 28-byte datagram" \
  expect_entry 2 "short unsuspend(hdr)" 28
lab_check "Send Magic Packet Direct: a 120-byte direct magic packet" \
  expect_entry 3 "direct magic packet(hdr)" 120

# Enter presses the default button: one more broadcast magic packet.
read_field 105 46 >/dev/null
key Return
lab_check "Enter sends a broadcast magic packet" \
  expect_entry 4 "broadcast magic packet(hdr)" 118

# wait_for_end: waits up to 5 s for kestrava to end; its exit status in $status (empty while it runs).
wait_for_end() {
  status=
  for ((i = 0; i < 50; i++)); do
    if ! kill -0 "$KESTRAVA_PID" 2>/dev/null; then
      wait "$KESTRAVA_PID"; status=$?; KESTRAVA_PID=; return
    fi
    sleep 0.1
  done
}

# Esc closes the dialog and the program ends with status 0.
key Escape
wait_for_end
lab_check "Esc closes the dialog and kestrava exits with 0 (status ${status:-running})" test "${status:-x}" = 0

# Started with standard input, output and error closed, kestrava has them on /dev/null before
# it opens anything (so the X connection cannot take descriptor 1 and receive the log's copy),
# and the dialog still answers Esc.
ip netns exec "$(lab_ns sender)" sh -c 'exec "$0" Closed 0<&- 1>&- 2>&-' "$KESTRAVA" &
KESTRAVA_PID=$!
wait_for_window "Tidewake Closed"
lab_check "without standard streams the dialog opens" test -n "$WINDOW"
streams=$(for fd in 0 1 2; do readlink "/proc/$KESTRAVA_PID/fd/$fd"; done | tr '\n' ' ')
lab_check "its standard streams are /dev/null ($streams)" test "$streams" = "/dev/null /dev/null /dev/null "
if [ -n "$WINDOW" ]; then
  focus_window
  key Escape
fi
wait_for_end
lab_check "without standard streams Esc still ends it with 0 (status ${status:-running})" test "${status:-x}" = 0

# A mistyped option after a full target: the dialog opens (the parse ended there, as it always
# has), its status line names the option, and no wake reaches pilvorne. The labels' texts come
# from inside the program, through a GTK module of the test's.
entries=$(wc -l <"$OUT")
ip netns exec "$(lab_ns sender)" env GTK_MODULES="$LABELS_MODULE" DIALOG_LABELS="$LABELS" \
  "$KESTRAVA" "/IP=$TARGET_IP" "/MAC=$TARGET_MAC" /Verbos >/dev/null 2>>"$ERR" &
KESTRAVA_PID=$!
wait_for_window "Tidewake "
lab_check "a mistyped option: the dialog opens" test -n "$WINDOW"
# Focused, the Target Name field takes the focus, which clears other status texts.
[ -n "$WINDOW" ] && focus_window
lab_check "a mistyped option: the status line names it" \
  lab_wait_for 5 grep -qxF "/Verbos: not an option; nothing was sent" "$LABELS"
lab_check "a mistyped option: nothing reaches pilvorne" test "$(wc -l <"$OUT")" = "$entries"
[ -n "$WINDOW" ] && key Escape
wait_for_end
lab_check "a mistyped option: Esc ends it with 0 (status ${status:-running})" test "${status:-x}" = 0

# The help button (the bitmap button at the top left) hands the help page to xdg-open without
# waiting for it. The xdg-open first on the path here writes down what it was given and ends
# with the status that the test puts in its file.
cat >"$OPENER_DIR/xdg-open" <<OPENER
#!/bin/sh
printf '%s\n' "\$*" >>"$OPENER_DIR/opened"
exit "\$(cat "$OPENER_DIR/status")"
OPENER
chmod +x "$OPENER_DIR/xdg-open"
echo 0 >"$OPENER_DIR/status"
unopened="Unable to open the help page."
ip netns exec "$(lab_ns sender)" env GTK_MODULES="$LABELS_MODULE" DIALOG_LABELS="$LABELS" \
  PATH="$OPENER_DIR:$PATH" "$KESTRAVA" Help >/dev/null 2>>"$ERR" &
KESTRAVA_PID=$!
wait_for_window "Tidewake Help"
lab_check "help: the dialog opens" test -n "$WINDOW"
if [ -n "$WINDOW" ]; then
  focus_window
  click_at 12 18
  lab_wait_for 5 test -s "$OPENER_DIR/opened"
  page=$(head -n1 "$OPENER_DIR/opened")
  lab_check "help: xdg-open is given the program's help page ($page)" \
    test "$page" = "$(dirname "$KESTRAVA")/kestrava.html"
  lab_check "help: the page is HTML made from kestrava(1)" \
    grep -q '<title>KESTRAVA(1)</title>' "$page"
  # Ten rounds of the labels' file after xdg-open has ended.
  sleep 1
  lab_check "help: a page that opens leaves the status line alone" \
    test -z "$(grep -xF "$unopened" "$LABELS")"
  echo 4 >"$OPENER_DIR/status"
  click_at 12 18
  lab_check "help: an xdg-open that fails is said in the status line" \
    lab_wait_for 5 grep -qxF "$unopened" "$LABELS"
  key Escape
fi
wait_for_end
lab_check "help: Esc ends it with 0 (status ${status:-running})" test "${status:-x}" = 0

if [ "$LAB_FAILURES" -ne 0 ]; then
  echo "--- pilvorne" >&2; cat "$OUT" >&2
  echo "--- stderr" >&2; cat "$ERR" >&2
fi
lab_finish
