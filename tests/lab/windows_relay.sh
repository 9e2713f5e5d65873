#!/usr/bin/env bash
# The relay between the platforms, on one lab LAN: kestrava asks pilvorne.exe -Relay (under
# Wine) to wake the target, and kestrava.exe /Relay (under Wine) asks the Linux pilvorne -Relay;
# the target's Linux pilvorne sees each relay's broadcast, each sender the acknowledgement.
# An answer that finds the sender gone does not end pilvorne.exe's relay (Windows reports the
# ICMP error on the next receive; Wine does not, so here it shows only that the run goes on).
# Usage: windows_relay.sh LINUX-KESTRAVA LINUX-PILVORNE RELAY-PEER WINDOWS-BUILD-DIR
set -uo pipefail
source "$(dirname "$0")/lib.sh"

kestrava=$1
pilvorne=$2
peer=$3
lab_require wine wineserver "$kestrava" "$pilvorne" "$peer"
lab_windows_programs "${4:-}"

work=$(mktemp -d /tmp/tidewake-winrelay.XXXXXX)
finish() {
  lab_exec win wineserver -k >/dev/null 2>&1
  lab_cleanup
  rm -rf "$work"
}
trap finish EXIT

lab_switch lan || lab_fail_or_skip "cannot build the lab"
lab_host win lan 192.0.2.10/24 02:54:57:00:0a:0a
lab_host linux lan 192.0.2.5/24 02:54:57:00:0a:05
lab_host target lan 192.0.2.20/24 02:54:57:00:0a:14
lab_wine win "$work"
fail_now() { echo "FAILED: $*" >&2; exit 1; }

# One key, made by pilvorne.exe: both sides read the same file (0600 for the Linux side).
lab_exec win wine "$pilvorne_exe" -NewKey="$work/relay.key" </dev/null >"$work/newkey.out" 2>&1
chmod 600 "$work/relay.key"
lab_check "pilvorne.exe -NewKey writes the key ($(tr -d '\r' <"$work/newkey.out"))" \
  grep -q '^tidewake-relay-key-v1 [0-9a-f]\{16\} [0-9a-f]\{64\}$' "$work/relay.key"

lab_exec target "$pilvorne" -PortNo=9 >"$work/target.out" 2>&1 </dev/null &
lab_wait_for 10 grep -q Listening "$work/target.out" || fail_now "the target's pilvorne did not start"
from_count() { grep -c "broadcast magic packet       - 02:54:57:00:0A:14 from $1 (len=102)" "$work/target.out"; }

# kestrava -> pilvorne.exe -Relay.
lab_exec win wine "$pilvorne_exe" -Relay -Key="$work/relay.key" -Count=3 -Timeout=60 \
  >"$work/win_relay.out" 2>"$work/win_relay.err" </dev/null &
win_relay=$!
lab_wait_for 30 grep -q 'Relaying signed wake requests on port no 1779' "$work/win_relay.out" ||
  fail_now "pilvorne.exe -Relay did not start: $(tr -d '\r' <"$work/win_relay.err")"
out=$(lab_exec linux "$kestrava" /MAC=02:54:57:00:0a:14 /Relay=192.0.2.10 /Key="$work/relay.key" /Port=9 /Verbose 2>&1)
code=$?
lab_exec linux "$peer" fire 192.0.2.10 1779 "$(lab_exec linux "$peer" sign "$work/relay.key" 02:54:57:00:0a:14 0)"
sleep 1
again=$(lab_exec linux "$kestrava" /MAC=02:54:57:00:0a:14 /Relay=192.0.2.10 /Key="$work/relay.key" /Port=9 2>&1; echo "exit $?")
wait "$win_relay"
relay_code=$?
lab_check "kestrava through pilvorne.exe: exit 255 ($code)" lab_equals "$code" 255
lab_check "an answer to a sender gone does not end pilvorne.exe's relay ($again)" lab_equals "$again" "exit 255"
lab_check "kestrava prints pilvorne.exe's acknowledgement ($out)" \
  grep -q '^relayed by 192\.0\.2\.10: 192\.0\.2\.255 port 9 on .*, 1 datagram$' <<<"$out"
lab_wait_for 5 test "$(from_count 192.0.2.10)" -ge 3
lab_check "the target sees pilvorne.exe's three broadcasts" lab_equals "$(from_count 192.0.2.10)" 3
lab_check "pilvorne.exe logs the relayed wakes and ends after -Count=3 with 0 ($relay_code)" \
  test "$relay_code" -eq 0 -a "$(tr -d '\r' <"$work/win_relay.out" | grep -c 'from 192.0.2.5 port [0-9]* for 02:54:57:00:0A:14: relayed to 192.0.2.255 port 9 on ')" -eq 3

# kestrava.exe -> the Linux pilvorne -Relay; a second request with another key is refused.
lab_exec linux "$pilvorne" -Relay -Key="$work/relay.key" >"$work/linux_relay.out" 2>&1 </dev/null &
lab_wait_for 10 grep -q 'Relaying' "$work/linux_relay.out" || fail_now "the Linux relay did not start"
lab_exec win wine "$kestrava_exe" /MAC=02:54:57:00:0a:14 /Relay=192.0.2.5 /Key="$work/relay.key" /Port=9 /Verbose \
  </dev/null >"$work/kestrava_exe.out" 2>"$work/kestrava_exe.err"
code=$?
out=$(tr -d '\r' <"$work/kestrava_exe.out")
lab_check "kestrava.exe through the Linux relay: exit 255 ($code; $(tr -d '\r' <"$work/kestrava_exe.err"))" \
  lab_equals "$code" 255
lab_check "kestrava.exe prints the Linux relay's acknowledgement" \
  lab_equals "$out" "relayed by 192.0.2.5: 192.0.2.255 port 9 on eth0, 1 datagram"
lab_wait_for 5 test "$(from_count 192.0.2.5)" -ge 1
lab_check "the target sees the Linux relay's broadcast" lab_equals "$(from_count 192.0.2.5)" 1
lab_check "the Linux relay logs kestrava.exe's request" \
  grep -q 'from 192.0.2.10 port [0-9]* for 02:54:57:00:0A:14: relayed to 192.0.2.255 port 9 on eth0, 1 datagram$' \
  "$work/linux_relay.out"

lab_finish
