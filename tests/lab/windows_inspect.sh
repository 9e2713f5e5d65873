#!/usr/bin/env bash
# pilvorne.exe's inspector under Wine, on loopback: -Explain's third line, -Json lines parsed
# back, -Count and -Timeout with their exit statuses, and the clear end of -Any and -Read.
# Usage: windows_inspect.sh PILVORNE-EXE; runs with the WINEPREFIX the Windows test runner prepared.
set -uo pipefail
pilvorne=$1
# The lab library's checks only: this test needs no namespace.
source "$(dirname "$0")/lib.sh"
for tool in wine python3; do
  command -v "$tool" >/dev/null 2>&1 || lab_fail_or_skip "$tool is not installed"
done
export WINEDEBUG=-all
work=$(mktemp -d /tmp/tidewake-wininspect.XXXXXX)
trap 'rm -rf "$work"' EXIT
port=$((20000 + RANDOM % 20000))

# send HEX...: each as one datagram to the listener's port on loopback.
send() { python3 -c '
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
for data in sys.argv[2:]:
    s.sendto(bytes.fromhex(data), ("127.0.0.1", int(sys.argv[1])))' "$port" "$@"; }
magic=ffffffffffff$(for _ in $(seq 16); do printf 025457000014; done)
header118=4b455354524156417600000009000000    # KESTRAVA, length 118, sequence number 9
zeds=$(printf '5a%.0s' $(seq 118))

# run NAME ARGS...: pilvorne.exe in the background; sends the datagrams once it listens and
# returns its exit status.
run() {
  local name=$1; shift
  wine "$pilvorne" "$@" -PortNo=$port >"$work/$name.out" 2>"$work/$name.err" </dev/null &
  local pid=$! i
  for ((i = 0; i < 300; i++)); do
    grep -q "Listening for magic packets" "$work/$name.out" "$work/$name.err" 2>/dev/null && break
    sleep 0.1
  done
  [ -n "${DATAGRAMS:-}" ] && send $DATAGRAMS
  wait "$pid"
}

DATAGRAMS="$header118$magic $zeds" run explain -Explain -Count=2 -Timeout=60
lab_check "-Explain -Count=2 ends with 0 after a wake" [ $? -eq 0 ]
tr -d '\r' <"$work/explain.out" >"$work/explain.txt"
lab_check "-Explain explains the wake, its header and how it arrived" grep -qx \
  '   magic packet for 02:54:57:00:00:14, sync at byte 16, all 16 copies equal; header KESTRAVA, length field 118 matches, sequence number 9; to 127.0.0.1 (unicast) on .*' \
  "$work/explain.txt"
lab_check "-Explain says 118 bytes of Z are no wake packet" grep -q '^   not a wake packet: no sync stream; to 127.0.0.1 (unicast)' "$work/explain.txt"
lab_check "two datagrams, three lines each, after the start-up line" [ "$(wc -l <"$work/explain.txt")" -eq 7 ]

DATAGRAMS="$magic $zeds" run json -Json -Count=2 -Timeout=60
lab_check "-Json -Count=2 ends with 0 after a wake" [ $? -eq 0 ]
lab_check "-Json: the start-up line on standard error" grep -q "Listening for magic packets on port no $port" "$work/json.err"
lab_check "-Json: two objects with exactly the fields, parsed back" python3 - "$work/json.out" "$port" <<'EOF'
import json, sys
rows = [json.loads(line) for line in open(sys.argv[1], newline="")]
fields = ["time", "from", "from_port", "to", "to_kind", "interface", "via", "port", "len", "kind", "mac", "magic", "header"]
ok = len(rows) == 2 and all(list(r) == fields for r in rows)
ok = ok and rows[0]["magic"] == {"offset": 0, "target": "02:54:57:00:00:14", "copies_ok": 16, "password": None}
ok = ok and rows[1]["magic"] is None and rows[1]["kind"] == "broadcast magic packet(hdr)"
ok = ok and all(r["to"] == "127.0.0.1" and r["to_kind"] == "unicast" and r["port"] == int(sys.argv[2]) for r in rows)
sys.exit(0 if ok else f"got {rows}")
EOF

DATAGRAMS="$zeds" run timeout -Timeout=2
lab_check "-Timeout ends with 4 when no wake came" [ $? -eq 4 ]
lab_check "... after showing the datagram that came" grep -q "(len=118)" "$work/timeout.out"

for mode in -Any -Read=capture.pcapng; do
  wine "$pilvorne" "$mode" >"$work/capture.out" 2>"$work/capture.err" </dev/null
  lab_check "$mode ends with 2" [ $? -eq 2 ]
  lab_check "$mode says in one line that it needs the Linux build" \
    [ "$(tr -d '\r' <"$work/capture.err")" = "pilvorne: -Any and -Read need the Linux build of pilvorne" ]
done

lab_finish
