#!/usr/bin/env bash
# kestrava.exe /Wait, under Wine, against the Linux sleeping-host simulator on a lab LAN: a host
# woken and seen by ping (IcmpSendEcho2), one whose pings are dropped seen by a TCP connect to
# an open port or by the reset of a closed one, one that never wakes (exit status 3), and the
# JSON object.
# Usage: windows_wait.sh WINDOWS-BUILD-DIR SLEEPING_HOST
set -uo pipefail
source "$(dirname "$0")/lib.sh"

windows_build=$1
[ -n "$windows_build" ] ||
  lab_fail_or_skip "no Windows build named (configure with -DTIDEWAKE_WINDOWS_BUILD_DIR=..., as make test does)"
kestrava_exe=$windows_build/sender/kestrava.exe
SIMULATOR=$(realpath "$2")
lab_require wine wineserver timeout "$SIMULATOR"
[ -f "$kestrava_exe" ] || lab_fail_or_skip "$kestrava_exe is not built (make windows)"

MAC=02:54:57:00:0a:14
work=$(mktemp -d /tmp/tidewake-winwait.XXXXXX)
# The lab's own Wine prefix, its server inside the sender's namespace (Wine opens sockets there).
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
unset DISPLAY
SIM_PID=
finish() {
  lab_stop "$SIM_PID"
  lab_exec win wineserver -k >/dev/null 2>&1
  lab_cleanup
  rm -rf "$work"
}
trap finish EXIT

lab_switch lan || lab_fail_or_skip "cannot create the switch"
lab_host win lan 192.0.2.10/24 02:54:57:00:0a:0a || lab_fail_or_skip "cannot create the sender"
lab_host target lan 192.0.2.20/24 "$MAC" || lab_fail_or_skip "cannot create the target"
lab_wait_for 5 lab_exec win ping -c1 -W1 192.0.2.20 || lab_fail_or_skip "the lab LAN does not come up"

mkdir -p "$WINEPREFIX"
lab_exec win wineserver -p >/dev/null 2>&1 </dev/null
lab_exec win wine cmd /c exit >/dev/null 2>&1 </dev/null || lab_fail_or_skip "wine cannot start a program"

start_simulator() {
  lab_stop "$SIM_PID"
  lab_sleeper "$SIMULATOR" target "$work/sim.out" "$@"
  local started=$?
  SIM_PID=$LAB_SLEEPER_PID
  return $started
}
steady() { tr -d '\r' | sed -E 's/after [0-9]+\.[0-9] s/after <t> s/; s/"seconds":[0-9]+\.[0-9]/"seconds":<t>/'; }

# One case a line: name | simulator options | kestrava.exe's options | exit status | its output.
T="/IP=192.0.2.20 /MAC=$MAC"
CASES=(
  "woken, seen by ping|--delay 2000|$T /Wait=20|0|192.0.2.20 is awake after <t> s: ping reply from $MAC (1 wake sent)"
  "pings dropped, port 22 open|--delay 1000 --firewall --port 22|$T /Wait=20 /Probe=22|0|192.0.2.20 is awake after <t> s: TCP accept on port 22 from $MAC (1 wake sent)"
  "pings dropped, port closed: the reset counts|--delay 1000 --firewall|$T /Wait=20 /Probe=22|0|192.0.2.20 is awake after <t> s: TCP reset on port 22 from $MAC (1 wake sent)"
  "never wakes|--ignore 100|$T /Wait=4 /Probe=22|3|192.0.2.20 did not answer within 4 s (1 wake sent; no reply to ping or port 22)"
  "JSON|--delay 1000|$T /Wait=20 /Json|0|{\"target\":\"192.0.2.20\",\"name\":null,\"mac\":\"$MAC\",\"address\":\"192.0.2.20\",\"outcome\":\"awake\",\"seconds\":<t>,\"probe\":\"ping\",\"answer\":\"reply\",\"answered_mac\":\"$MAC\",\"wakes_sent\":1,\"identity\":\"checked\"}"
)
for row in "${CASES[@]}"; do
  IFS='|' read -r name sim_options options status expected <<<"$row"
  # shellcheck disable=SC2086 # the options are words
  start_simulator $sim_options || lab_fail_or_skip "the simulator does not start"
  lab_exec win ip neigh flush all
  # shellcheck disable=SC2086
  lab_exec win timeout 60 wine "$kestrava_exe" $options </dev/null >"$work/out" 2>"$work/err"
  got=$?
  lab_check "kestrava.exe, $name: exit status $status" lab_equals "$got" "$status"
  lab_check "kestrava.exe, $name: the line" lab_equals "$(steady <"$work/out")" "$expected"
  lab_check "kestrava.exe, $name: nothing on standard error" lab_equals "$(tr -d '\r' <"$work/err")" ""
  lab_check "kestrava.exe, $name: one magic packet reached the host" \
    lab_equals "$(grep -c 'magic packet' "$work/sim.out")" 1
  tr -d '\r' <"$work/out"
done

lab_finish
