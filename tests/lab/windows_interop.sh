#!/usr/bin/env bash
# The Windows programs, under Wine, meet the Linux ones on a lab LAN:
#  - pilvorne.exe prints for each datagram the same two lines as the Linux pilvorne;
#  - kestrava.exe's silent send reaches the Linux pilvorne on the target as the exact 118 bytes;
#  - its send options /Port, /Kind, /To and /Count arrive as the Linux pilvorne and the wire show
#    them, and /Ether says in one line that it needs the Linux build;
#  - pilvorne.exe -Explain judges a subnet-directed broadcast and a unicast on the LAN's adapter.
# Usage: windows_interop.sh LINUX-PILVORNE WINDOWS-BUILD-DIR
set -uo pipefail
source "$(dirname "$0")/lib.sh"

linux_pilvorne=$1
lab_require wine wineserver dumpcap tshark python3 "$linux_pilvorne"
lab_windows_programs "${2:-}"

work=$(mktemp -d /tmp/tidewake-wininterop.XXXXXX)
finish() {
  lab_exec win wineserver -k >/dev/null 2>&1
  lab_cleanup
  rm -rf "$work"
}
trap finish EXIT

lab_switch lan
lab_host win lan 192.0.2.10/24 02:00:00:00:00:10
lab_host target lan 192.0.2.20/24 02:00:00:00:00:20
lab_wine win "$work"

# Both listeners on the default port: the Linux one on the target, pilvorne.exe on the Windows host.
lab_exec target "$linux_pilvorne" >"$work/linux.out" 2>&1 </dev/null &
lab_exec win wine "$pilvorne_exe" >"$work/windows.out" 2>&1 </dev/null &
listening() { grep -q 'Listening for magic packets on port no 1778' "$1"; }
# A listener that does not start is the programs' failure, not the lab's: no skip then.
fail_now() { echo "FAILED: $*" >&2; exit 1; }
lab_wait_for 30 listening "$work/linux.out" || fail_now "the Linux pilvorne did not start"
lab_wait_for 30 listening "$work/windows.out" || fail_now "pilvorne.exe did not start under Wine"

# The same datagrams to each listener over its host's loopback: each kind with and without
# the packet header, and one that is not a wake packet.
mac='\x00\x11\x22\x33\x44\x55'
body="\xff\xff\xff\xff\xff\xff"
for ((i = 0; i < 16; i++)); do body+=$mac; done
datagrams=(
  "KESTRAVA\x76\x00\x00\x00\x00\x00\x00\x00$body"        # 118: broadcast magic packet with header
  "$body"                                                # 102: broadcast magic packet
  "KESTRAV2\x1c\x00\x00\x00\x00\x00\x00\x00\xff\xff\xff\xff\xff\xff$mac"  # 28
  "\xff\xff\xff\xff\xff\xff$mac"                         # 12
  "KESTRAV4\x78\x00\x00\x00\x00\x00\x00\x00$body\x00\x00"  # 120
  "$body\x00\x00"                                        # 104
  "not a wake packet, fifty bytes long..............."  # 50
)
for host in target win; do
  for d in "${datagrams[@]}"; do
    lab_exec "$host" bash -c 'printf "$1" >/dev/udp/127.0.0.1/1778' _ "$d"
    sleep 0.1
  done
done
entries() { [ "$(grep -c ' from 127.0.0.1 ' "$1")" -ge "${#datagrams[@]}" ]; }
lab_wait_for 10 entries "$work/linux.out"
lab_wait_for 10 entries "$work/windows.out"

# Windows writes CR LF; the date part of the time stamp follows each system's short date format.
normalise() { tr -d '\r' <"$1" | sed -E 's|^.* ([0-9]{2}:[0-9]{2}:[0-9]{2}) $|<date> \1 |; s|[0-9]{2}:[0-9]{2}:[0-9]{2} $|hh:mm:ss |'; }
normalise "$work/linux.out" >"$work/linux.norm"
normalise "$work/windows.out" >"$work/windows.norm"
lab_check "pilvorne.exe printed 2 lines per datagram after its start-up line" \
  [ "$(wc -l <"$work/windows.norm")" -eq $((1 + 2 * ${#datagrams[@]})) ]
lab_check "pilvorne.exe's lines equal the Linux pilvorne's, date aside" diff "$work/linux.norm" "$work/windows.norm"
lab_check "the 118-byte datagram's entry reads as it should" \
  grep -qx '   broadcast magic packet(hdr)  - 00:11:22:33:44:55 from 127.0.0.1 (len=118)' "$work/windows.norm"

# kestrava.exe's silent send: the target's subnet-directed broadcast, captured on the target.
lab_exec target dumpcap -q -i eth0 -f 'udp port 1778' -c 1 -w "$work/send.pcapng" >"$work/dumpcap.out" 2>&1 &
capture=$!
lab_wait_for 10 grep -q 'Capturing on' "$work/dumpcap.out"
lab_exec win wine "$kestrava_exe" /IP=192.0.2.20 /MAC=00-11-22-33-44-55 </dev/null >"$work/kestrava.out" 2>&1
status=$?
lab_check "kestrava.exe ends with exit code -1 after the silent send" [ "$status" -eq 255 ]
from_win() { grep -q 'from 192.0.2.10 (len=118)' "$work/linux.out"; }
lab_wait_for 10 from_win
lab_check "the Linux pilvorne on the target received the broadcast magic packet" \
  grep -q '   broadcast magic packet(hdr)  - 00:11:22:33:44:55 from 192.0.2.10 (len=118)' "$work/linux.out"
for ((i = 0; i < 100; i++)); do kill -0 "$capture" 2>/dev/null || break; sleep 0.1; done
kill "$capture" 2>/dev/null
expected="4b455354524156417600000000000000ffffffffffff"
for ((i = 0; i < 16; i++)); do expected+="001122334455"; done
captured=$(tshark -r "$work/send.pcapng" -T fields -e ip.dst -e udp.dstport -e udp.payload 2>/dev/null | head -1)
lab_check "the datagram went to 192.0.2.255 port 1778" [ "$(cut -f1,2 <<<"$captured")" = $'192.0.2.255\t1778' ]
lab_check "the datagram is byte for byte the 118-byte magic packet with header" \
  [ "$(cut -f3 <<<"$captured" | tr -d ':')" = "$expected" ]

# kestrava.exe's send options: a second Linux pilvorne on port 9, and the wire captured whole.
lab_exec target "$linux_pilvorne" -PortNo=9 >"$work/linux9.out" 2>&1 </dev/null &
lab_wait_for 30 grep -q 'Listening for magic packets on port no 9' "$work/linux9.out" ||
  fail_now "the Linux pilvorne did not start on port 9"
lab_exec target dumpcap -q -i eth0 -f 'udp and (port 1778 or port 9)' -a duration:120 \
  -w "$work/options.pcapng" >"$work/dumpcap-options.out" 2>&1 &
capture=$!
lab_wait_for 10 grep -q 'Capturing on' "$work/dumpcap-options.out"
win_send() {
  lab_exec win wine "$kestrava_exe" "$@" </dev/null >"$work/win.out" 2>"$work/win.err"
  local status=$?
  lab_check "kestrava.exe $*: exit code -1" [ "$status" -eq 255 ]
}
mac=/MAC=00-11-22-33-44-55
win_send /IP=192.0.2.20 "$mac" /Port=9
win_send /IP=192.0.2.20 "$mac" /Kind=2
win_send /IP=192.0.2.20 "$mac" /Kind=4
win_send "$mac" /To=192.0.2.20
win_send /IP=192.0.2.20 "$mac" /Count=3 /Interval=50
# The Linux pilvorne's entries after the 7 loopback datagrams and the silent send.
lab_check "/Port=9: the Linux pilvorne on port 9 saw it" \
  lab_expect_entry "$work/linux9.out" 1 "broadcast magic packet(hdr)" 118 00:11:22:33:44:55 192.0.2.10
entry=9
for row in "short unsuspend(hdr)/28" "direct magic packet(hdr)/120" "broadcast magic packet(hdr)/118" \
            "broadcast magic packet(hdr)/118" "broadcast magic packet(hdr)/118" "broadcast magic packet(hdr)/118"; do
  lab_check "the Linux pilvorne's entry $entry: ${row%/*}, ${row#*/} bytes" \
    lab_expect_entry "$work/linux.out" "$entry" "${row%/*}" "${row#*/}" 00:11:22:33:44:55 192.0.2.10
  entry=$((entry + 1))
done
for ((i = 0; i < 20; i++)); do
  [ "$(tshark -r "$work/options.pcapng" 2>/dev/null | wc -l)" -ge 7 ] && break
  sleep 0.5
done
kill "$capture" 2>/dev/null
wait "$capture" 2>/dev/null
# Destination, port, and the header's tag, length and sequence number as the wire carried them.
wire=$(tshark -r "$work/options.pcapng" -T fields -e ip.dst -e udp.dstport -e udp.payload 2>/dev/null |
  awk -F'\t' '{ p = $3; gsub(":", "", p); print $1, $2, substr(p, 15, 2), substr(p, 17, 8), substr(p, 25, 8) }')
lab_check "on the wire: each datagram's destination, port, tag kind, length and sequence number" \
  lab_equals "$wire" "192.0.2.255 9 41 76000000 00000000
192.0.2.20 1778 32 1c000000 00000000
192.0.2.20 1778 34 78000000 00000000
192.0.2.20 1778 41 76000000 00000000
192.0.2.255 1778 41 76000000 01000000
192.0.2.255 1778 41 76000000 02000000
192.0.2.255 1778 41 76000000 03000000"

lab_exec win wine "$kestrava_exe" /IP=192.0.2.20 "$mac" /Ether </dev/null >"$work/win.out" 2>"$work/win.err"
status=$?
lab_check "kestrava.exe /Ether: exit code 1" [ "$status" -eq 1 ]
lab_check "kestrava.exe /Ether: one line, that it needs the Linux build" lab_equals "$(tr -d '\r' <"$work/win.err")" \
  "kestrava: /Ether needs the Linux build of kestrava: Windows lets no program send raw Ethernet frames"

# pilvorne.exe -Explain: WSARecvMsg's destination, judged against the adapter's subnet, and the
# adapter's name.
lab_exec win wine "$pilvorne_exe" -Explain -PortNo=1790 -Count=2 -Timeout=60 >"$work/explain.out" 2>&1 </dev/null &
explain=$!
lab_wait_for 30 grep -q 'Listening for magic packets on port no 1790' "$work/explain.out"
lab_exec target python3 -c '
import socket
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
magic = bytes.fromhex("ffffffffffff" + "001122334455" * 16)
for to in ("192.0.2.255", "192.0.2.10"):
    s.sendto(magic, (to, 1790))'
wait "$explain"
lab_check "pilvorne.exe -Explain -Count=2 ends with 0 after the wakes" [ $? -eq 0 ]
lab_check "pilvorne.exe judges 192.0.2.255 the subnet-directed broadcast of its adapter" \
  grep -q '; to 192.0.2.255 (subnet-broadcast) on eth0' "$work/explain.out"
lab_check "pilvorne.exe judges its own address unicast" grep -q '; to 192.0.2.10 (unicast) on eth0' "$work/explain.out"

lab_finish
