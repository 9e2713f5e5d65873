#!/usr/bin/env bash
# pilvorne on the target host prints the wake packets that reach it over the lab's LAN:
# kestrava's silent send with and without the packet header, and Debian's wakeonlan.
# Usage: listener.sh PILVORNE KESTRAVA
set -u
PILVORNE=$(realpath "$1")
KESTRAVA=$(realpath "$2")
source "$(dirname "$0")/lib.sh"
lab_require "$PILVORNE" "$KESTRAVA" wakeonlan

SENDER_IP=192.0.2.10
TARGET_IP=192.0.2.20
TARGET_MAC=02:54:57:00:00:14
lab_switch lan || lab_fail_or_skip "cannot create the switch"
lab_host sender lan "$SENDER_IP/24" 02:54:57:00:00:0a || lab_fail_or_skip "cannot create the sender host"
lab_host target lan "$TARGET_IP/24" "$TARGET_MAC" || lab_fail_or_skip "cannot create the target host"

OUT=$(mktemp)
ERR=$(mktemp)
LISTENER_PID=
stop_listener() {
  if [ -n "$LISTENER_PID" ]; then
    kill "$LISTENER_PID" 2>/dev/null
    wait "$LISTENER_PID" 2>/dev/null
    LISTENER_PID=
  fi
}
finish() {
  stop_listener
  rm -f "$OUT" "$ERR"
  lab_cleanup
}
trap finish EXIT

lab_exec target "$PILVORNE" >"$OUT" 2>"$ERR" &
LISTENER_PID=$!
lab_check "pilvorne starts on port 1778" \
  lab_wait_for 5 grep -qx "Listening for magic packets on port no 1778" "$OUT"

# expect_entry N LABEL LENGTH: the N-th datagram's two lines are the last ones printed:
# a time stamp line ending in one blank, then the entry line.
expect_entry() {
  local n=$1 line
  line=$(printf '   %-28.28s - %s from %s (len=%d)' "$2" "$TARGET_MAC" "$SENDER_IP" "$3")
  lab_wait_for 5 test "$(wc -l <"$OUT")" -ge $((1 + 2 * n))
  if [ "$(sed -n "$((1 + 2 * n))p" "$OUT")" = "$line" ] &&
     sed -n "$((2 * n))p" "$OUT" | grep -q '[0-9]:[0-9][0-9]:[0-9][0-9] $'; then
    return 0
  fi
  echo "expected entry $n: $line" >&2
  echo "listener printed:" >&2
  cat "$OUT" >&2
  return 1
}

lab_exec sender "$KESTRAVA" "/IP=$TARGET_IP" "/MAC=$TARGET_MAC"
status=$?
lab_check "kestrava's silent send exits with 255 (-1)" test "$status" -eq 255
lab_check "silent send arrives as a broadcast magic packet with header" \
  expect_entry 1 "broadcast magic packet(hdr)" 118

lab_exec sender "$KESTRAVA" /nohdr "/IP=$TARGET_IP" "/MAC=$TARGET_MAC"
lab_check "silent send with nohdr arrives as a broadcast magic packet" \
  expect_entry 2 "broadcast magic packet" 102

lab_exec sender wakeonlan -i 192.0.2.255 -p 1778 "$TARGET_MAC" >/dev/null
lab_check "wakeonlan's packet is recognised with its MAC" \
  expect_entry 3 "broadcast magic packet" 102

lab_check "three datagrams, two lines each" test "$(wc -l <"$OUT")" -eq 7
lab_check "nothing on standard error" test ! -s "$ERR"
lab_check "pilvorne is still listening" kill -0 "$LISTENER_PID"

stop_listener
lab_finish
