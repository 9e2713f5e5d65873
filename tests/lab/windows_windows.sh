#!/usr/bin/env bash
# The Windows programs meet each other on a lab LAN, each under Wine in a host of its own:
# kestrava.exe's silent send leaves as the exact 118-byte broadcast magic packet with header, and
# pilvorne.exe on the target prints its start-up line and the datagram's two lines.
# Usage: windows_windows.sh WINDOWS-BUILD-DIR
set -uo pipefail
source "$(dirname "$0")/lib.sh"

windows_build=${1:-}
[ -n "$windows_build" ] ||
  lab_fail_or_skip "no Windows build named (configure with -DTIDEWAKE_WINDOWS_BUILD_DIR=..., as make test does)"
pilvorne_exe=$windows_build/listener/pilvorne.exe
kestrava_exe=$windows_build/sender/kestrava.exe

lab_require wine wineserver dumpcap tshark
for exe in "$pilvorne_exe" "$kestrava_exe"; do
  [ -f "$exe" ] || lab_fail_or_skip "$exe is not built (make windows)"
done

work=$(mktemp -d /tmp/tidewake-winwin.XXXXXX)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
unset DISPLAY
# Wine opens sockets in its server, so each host has a prefix of its own whose server runs in
# that host's namespace. wine_in HOST PROGRAM ARGS... runs a program there.
wine_in() {
  local host=$1; shift
  lab_exec "$host" env WINEPREFIX="$work/$host" "$@"
}
hosts=(sender target)
finish() {
  local host
  for host in "${hosts[@]}"; do wine_in "$host" wineserver -k >/dev/null 2>&1; done
  lab_cleanup
  rm -rf "$work"
}
trap finish EXIT

mac=02:54:57:00:0a:14
lab_switch lan || lab_fail_or_skip "cannot create the switch"
lab_host sender lan 192.0.2.10/24 02:54:57:00:0a:0a || lab_fail_or_skip "cannot create the sender"
lab_host target lan 192.0.2.20/24 "$mac" || lab_fail_or_skip "cannot create the target"

# Both prefixes are made at once (several seconds each); the server and its services detached,
# every stream redirected, so that they hold no pipe of ctest's open.
for host in "${hosts[@]}"; do
  mkdir -p "$work/$host"
  (wine_in "$host" wineserver -p && wine_in "$host" wine cmd /c exit) >/dev/null 2>&1 </dev/null &
done
wait
for host in "${hosts[@]}"; do
  wine_in "$host" wine cmd /c exit >/dev/null 2>&1 </dev/null || lab_fail_or_skip "wine cannot start a program"
done

wine_in target wine "$pilvorne_exe" >"$work/pilvorne.out" 2>&1 </dev/null &
lab_wait_for 30 grep -q 'Listening for magic packets on port no 1778' "$work/pilvorne.out" ||
  { echo "FAILED: pilvorne.exe did not start under Wine" >&2; exit 1; }
lab_exec target dumpcap -q -i eth0 -f 'udp port 1778' -c 1 -a duration:60 -w "$work/wire.pcapng" \
  >"$work/dumpcap.out" 2>&1 &
capture=$!
lab_wait_for 10 grep -q 'Capturing on' "$work/dumpcap.out"

wine_in sender wine "$kestrava_exe" /IP=192.0.2.20 "/MAC=$mac" </dev/null >"$work/kestrava.out" 2>&1
lab_check "kestrava.exe ends with exit code -1 after the silent send" lab_equals "$?" 255
wait "$capture"

expected="4b455354524156417600000000000000ffffffffffff"
for ((i = 0; i < 16; i++)); do expected+=${mac//:/}; done
lab_check "on the wire: from the sender to 192.0.2.255 port 1778, the 118 bytes exactly" lab_equals \
  "$(tshark -r "$work/wire.pcapng" -T fields -e ip.src -e ip.dst -e udp.dstport -e udp.payload 2>/dev/null |
     tr -d ':')" "$(printf '192.0.2.10\t192.0.2.255\t1778\t%s' "$expected")"

# The entry's first line is the date in the locale's short format and the time.
entry() { [ "$(wc -l <"$work/pilvorne.out")" -ge 3 ]; }
lab_wait_for 10 entry
lab_check "pilvorne.exe's start-up line and the datagram's two lines" lab_equals \
  "$(tr -d '\r' <"$work/pilvorne.out" | sed -E 's|^.+ [0-9]{2}:[0-9]{2}:[0-9]{2} $|<date> <time> |')" \
  "Listening for magic packets on port no 1778
<date> <time> 
   broadcast magic packet(hdr)  - 02:54:57:00:0A:14 from 192.0.2.10 (len=118)"

lab_finish
