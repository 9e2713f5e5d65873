#!/usr/bin/env bash
# pilvorne as an inspector on the lab's LAN: how each wake arrived, wakes on any port and as
# EtherType 0x0842 (wakeonlan, etherwake, SecureOn, a VLAN tag), IPv6 to ff02::1, the ending
# options' exit statuses, the summary's sequence gap, a capture file read back, the capability
# -Any needs, and the receive queue's size.
# Usage: inspect.sh PILVORNE KESTRAVA
set -u
PILVORNE=$(realpath "$1")
KESTRAVA=$(realpath "$2")
source "$(dirname "$0")/lib.sh"
lab_require "$PILVORNE" "$KESTRAVA" wakeonlan etherwake dumpcap python3 setpriv ss

SENDER_IP=192.0.2.10
TARGET_IP=192.0.2.20
SENDER_MAC=02:54:57:00:00:0A
TARGET_MAC=02:54:57:00:00:14
lab_switch lan || lab_fail_or_skip "cannot create the switch"
lab_host sender lan "$SENDER_IP/24" "$SENDER_MAC" || lab_fail_or_skip "cannot create the sender host"
lab_host target lan "$TARGET_IP/24" "$TARGET_MAC" || lab_fail_or_skip "cannot create the target host"
for host in sender target; do
  lab_exec "$host" sysctl -qw net.ipv6.conf.eth0.accept_dad=0
done
lab_exec sender ip addr add 2001:db8::10/64 dev eth0 nodad
lab_exec target ip addr add 2001:db8::20/64 dev eth0 nodad

WORK=$(mktemp -d /tmp/tidewake-inspect.XXXXXX)
PIDS=()
finish() {
  lab_stop "${PIDS[@]}"
  rm -rf "$WORK"
  lab_cleanup
}
trap finish EXIT

# send HOST ADDRESS PORT HEX [OPTIONS]: one UDP datagram of the given bytes from a lab host;
# OPTIONS: "broadcast" (SO_BROADCAST, out of eth0), "ipv6".
send() {
  lab_exec "$1" python3 - "$2" "$3" "$4" "${5:-}" <<'EOF'
import socket, sys
address, port, data, options = sys.argv[1], int(sys.argv[2]), bytes.fromhex(sys.argv[3]), sys.argv[4]
family = socket.AF_INET6 if "ipv6" in options else socket.AF_INET
s = socket.socket(family, socket.SOCK_DGRAM)
if "broadcast" in options:
    s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_BINDTODEVICE, b"eth0")
if family == socket.AF_INET6:
    s.sendto(data, socket.getaddrinfo(address, port, family, socket.SOCK_DGRAM)[0][4])
else:
    s.sendto(data, (address, port))
EOF
}
# A magic packet for the target, and kestrava's header (tag, length, sequence number) before one.
MAGIC=ffffffffffff$(for _ in $(seq 16); do printf 025457000014; done)
header() { python3 -c "import struct,sys; print((sys.argv[1].encode() + struct.pack('<II', int(sys.argv[2]), int(sys.argv[3]))).hex())" "$@"; }

# A UDP wake in an Ethernet frame tagged with VLAN 10, written whole on the sender's eth0 (the
# lab's kernel needs no VLAN interface for that): to 198.51.100.255 port 7, link broadcast.
# With "qinq": inside an 802.1ad service tag (VLAN 20), to 198.51.100.254 port 8.
send_vlan_frame() {
  lab_exec sender python3 - "$SENDER_MAC" "$MAGIC" "${1:-}" <<'EOF'
import socket, struct, sys
mac, payload, qinq = bytes.fromhex(sys.argv[1].replace(":", "")), bytes.fromhex(sys.argv[2]), sys.argv[3] == "qinq"
udp = struct.pack(">HHHH", 40000, 8 if qinq else 7, 8 + len(payload), 0) + payload
ip = struct.pack(">BBHHHBBH4s4s", 0x45, 0, 20 + len(udp), 0, 0, 64, 17, 0,
                 socket.inet_aton("198.51.100.10"), socket.inet_aton("198.51.100.254" if qinq else "198.51.100.255"))
words = sum(struct.unpack(">10H", ip))
while words >> 16:
    words = (words & 0xFFFF) + (words >> 16)
ip = ip[:10] + struct.pack(">H", ~words & 0xFFFF) + ip[12:]
tags = struct.pack(">HHHH", 0x88a8, 20, 0x8100, 10) if qinq else struct.pack(">HH", 0x8100, 10)
frame = b"\xff" * 6 + mac + tags + struct.pack(">H", 0x0800) + ip + udp
s = socket.socket(socket.AF_PACKET, socket.SOCK_RAW)
s.bind(("eth0", 0))
s.send(frame)
EOF
}

# start NAME HOST COMMAND...: a program in the background, its output in $WORK/NAME.out and
# .err. Started without a shell function between, so that the process lab_stop ends is it.
start() {
  local name=$1 host=$2; shift 2
  ip netns exec "$(lab_ns "$host")" "$@" >"$WORK/$name.out" 2>"$WORK/$name.err" &
  PIDS+=($!)
}
has() { grep -qF -- "$2" "$WORK/$1"; }
# expect NAME TEXT WHAT: waits until pilvorne's output NAME holds TEXT.
expect() { lab_check "$3" lab_wait_for 5 has "$1" "$2"; }

# 1. How datagrams arrived at the plain port: the three destination kinds and the interface.
start udp target "$PILVORNE" -Explain
start json target "$PILVORNE" -Json -PortNo=1780
lab_wait_for 5 has udp.out "Listening for magic packets on port no 1778"
lab_wait_for 5 has json.err "Listening for magic packets on port no 1780"
send sender "$TARGET_IP" 1778 "$MAGIC"
expect udp.out "; to $TARGET_IP (unicast) on eth0" "a unicast datagram is judged unicast, on eth0"
lab_exec sender "$KESTRAVA" "/IP=$TARGET_IP" "/MAC=$TARGET_MAC"
expect udp.out "magic packet for $TARGET_MAC, sync at byte 16, all 16 copies equal; header KESTRAVA, length field 118 matches; to 192.0.2.255 (subnet-broadcast) on eth0" \
  "kestrava's silent send is a sound magic packet to the subnet-directed broadcast"
send sender 255.255.255.255 1778 "$MAGIC" broadcast
expect udp.out "; to 255.255.255.255 (limited-broadcast) on eth0" "255.255.255.255 is judged the limited broadcast"
for to in "$TARGET_IP" 192.0.2.255 255.255.255.255; do send sender "$to" 1780 "$MAGIC" broadcast; done
lab_wait_for 5 test "$(wc -l <"$WORK/json.out")" -ge 3
lab_check "-Json: three objects with the destination kinds and the interface" python3 - "$WORK/json.out" <<'EOF'
import json, sys
rows = [json.loads(line) for line in open(sys.argv[1])]
kinds = [(r["to"], r["to_kind"], r["interface"], r["via"], r["port"], r["magic"]["copies_ok"]) for r in rows]
expected = [("192.0.2.20", "unicast"), ("192.0.2.255", "subnet-broadcast"), ("255.255.255.255", "limited-broadcast")]
sys.exit(0 if kinds == [(a, k, "eth0", "udp", 1780, 16) for a, k in expected] else f"got {kinds}")
EOF

# 2. Wakes the plain listener does not see: wakeonlan to port 9, etherwake (0x0842, with and
# without a SecureOn password), a VLAN-tagged datagram.
start any target "$PILVORNE" -Any -Explain
start eth target "$PILVORNE" -Any -Interface=eth0 -Json
lab_wait_for 5 has any.out "Listening for wake packets on all interfaces"
lab_wait_for 5 has eth.err "Listening for wake packets on eth0"
start capture target dumpcap -q -i eth0 -w "$WORK/lab.pcapng"
lab_wait_for 10 has capture.err "Capturing on"
send sender "$TARGET_IP" 5000 "68656c6c6f"   # not a wake: no entry for it
send sender "$TARGET_IP" 5000 "$MAGIC"
expect any.out "magic packet for $TARGET_MAC, sync at byte 0, all 16 copies equal; to $TARGET_IP (unicast) on eth0" \
  "-Any explains a wake to another port of the target"
lab_exec sender wakeonlan -i 192.0.2.255 -p 9 "$TARGET_MAC" >/dev/null
expect any.out "(len=102) udp port 9" "wakeonlan to port 9 is seen by -Any"
lab_exec sender etherwake -i eth0 "$TARGET_MAC"
expect any.out "from $SENDER_MAC (len=102) ethertype 0x0842" "etherwake's frame is seen by -Any as EtherType 0x0842"
lab_exec sender etherwake -i eth0 -b -p 01:02:03:04:05:06 "$TARGET_MAC" >/dev/null
expect any.out "all 16 copies equal, SecureOn password 01:02:03:04:05:06" "etherwake's SecureOn password is shown"
send_vlan_frame
lab_wait_for 5 has eth.out '"to":"198.51.100.255"'
lab_check "a VLAN-tagged wake is seen on eth0 by -Any -Interface" python3 - "$WORK/eth.out" <<'EOF'
import json, sys
rows = [json.loads(line) for line in open(sys.argv[1])]
vlan = [r for r in rows if r["to"] == "198.51.100.255"]
ok = vlan and vlan[-1]["to_kind"] == "subnet-broadcast" and vlan[-1]["port"] == 7 and vlan[-1]["interface"] == "eth0"
sys.exit(0 if ok else f"got {rows}")
EOF
send_vlan_frame qinq
lab_wait_for 5 has eth.out '"to":"198.51.100.254"'
lab_check "a wake in two VLAN tags (802.1ad, then 802.1Q) is seen by -Any -Interface" has eth.out '"to":"198.51.100.254","to_kind":"subnet-broadcast"'
lab_check "-Json of a 0x0842 frame: EtherType, no port, the password" python3 - "$WORK/eth.out" <<'EOF'
import json, sys
rows = [json.loads(line) for line in open(sys.argv[1]) if '"ethertype-0x0842"' in line]
ok = len(rows) == 2 and rows[0]["port"] is None and rows[0]["to_kind"] == "unicast" and rows[1]["to_kind"] == "limited-broadcast"
sys.exit(0 if ok and rows[1]["magic"]["password"] == "01:02:03:04:05:06" and rows[0]["magic"]["password"] is None else f"got {rows}")
EOF
# (On all interfaces Linux hands frames over without their VLAN tags, and the one with two tags
# damaged: it is counted out.)
lab_check "the datagram that is no wake is not shown" test "$(grep ' (len=' "$WORK/any.out" | grep -vc 'udp port 8$')" -eq 5
lab_check "the plain listener saw none of them" test "$(grep -c ' (len=' "$WORK/udp.out")" -eq 3
lab_stop "${PIDS[@]}"
PIDS=()

# 2b. A burst of 1000 wakes back to back: the capture's ring holds them all until they are read.
start burst target "$PILVORNE" -Any -Summary -Count=1000 -Timeout=60
lab_wait_for 5 has burst.out "Listening for wake packets on all interfaces"
lab_exec sender python3 - "$TARGET_IP" "$MAGIC" <<'EOF'
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
payload = bytes.fromhex(sys.argv[2])
for _ in range(1000):
    s.sendto(payload, (sys.argv[1], 5001))
EOF
lab_wait_for 60 has burst.err "dropped by the kernel"
lab_check "-Any keeps every wake of a burst of 1000" has burst.err "Summary: 1000 datagrams seen, 1000 shown, 1000 valid wakes"
lab_check "... and the capture dropped none" has burst.err "dropped by the kernel for a full receive queue: 0"

# 3. The capture read back, as pcapng and as pcap, with each frame's capture time.
lab_exec target tshark -r "$WORK/lab.pcapng" -F pcap -w "$WORK/lab.pcap" 2>/dev/null
"$PILVORNE" -Read="$WORK/lab.pcapng" -Json >"$WORK/read.out" 2>"$WORK/read.err"
lab_check "-Read of dumpcap's capture ends with 0: it holds a wake" test $? -eq 0
"$PILVORNE" -Read="$WORK/lab.pcap" -Json >"$WORK/read-pcap.out" 2>&1
# pcapng records the interface each frame came in on (dumpcap's eth0); pcap does not.
lab_check "the same capture as pcap reads the same, but for the interface" lab_equals \
  "$(sed 's/"interface":"eth0"/"interface":null/' "$WORK/read.out")" "$(cat "$WORK/read-pcap.out")"
lab_check "-Read shows the six wakes at their capture times" python3 - "$WORK/read.out" "$WORK/lab.pcapng" <<'EOF'
import datetime, json, subprocess, sys
rows = [json.loads(line) for line in open(sys.argv[1])]
wakes = "not icmp and (udp.port == 9 or udp.port == 7 or udp.port == 8 or eth.type == 0x0842 or (udp.port == 5000 and udp.length > 100))"
fields = subprocess.run(["tshark", "-r", sys.argv[2], "-Y", wakes, "-T", "fields", "-e", "frame.time_epoch"],
                        capture_output=True, text=True).stdout.split()
seen = [datetime.datetime.fromisoformat(r["time"]).timestamp() for r in rows]
ok = len(rows) == 6 == len(fields) and all(abs(a - float(b)) < 0.001 for a, b in zip(seen, fields))
ok = ok and [r["via"] for r in rows].count("ethertype-0x0842") == 2 and all(r["interface"] == "eth0" for r in rows)
sys.exit(0 if ok else f"got {rows} against {fields}")
EOF
"$PILVORNE" -Read="$WORK/missing.pcapng" >/dev/null 2>"$WORK/missing.err"
lab_check "-Read of a missing file ends with 2 and says why" \
  bash -c '[ "$0" -eq 2 ] && grep -q "^pilvorne: cannot read .*missing.pcapng: " "$1"' $? "$WORK/missing.err"

# 4. IPv6: a wake to ff02::1 and one to the target's address reach a dual-stack listener, and
# an IPv4 sender still prints as a dotted quad.
start v6 target "$PILVORNE" -IPv6 -Explain -PortNo=1781
lab_wait_for 5 has v6.out "Listening for magic packets on port no 1781"
send sender "ff02::1%eth0" 1781 "$MAGIC" ipv6
expect v6.out "; to ff02::1 (multicast) on eth0" "a wake to ff02::1 arrives at -IPv6, judged multicast"
send sender 2001:db8::20 1781 "$MAGIC" ipv6
expect v6.out "from 2001:db8::10 (len=102)" "an IPv6 sender prints as IPv6 text"
send sender "$TARGET_IP" 1781 "$MAGIC"
expect v6.out "from $SENDER_IP (len=102)" "an IPv4 sender of the dual-stack socket prints as a dotted quad"
lab_stop "${PIDS[@]}"
PIDS=()

# 5. The ending options and their exit statuses.
lab_exec target "$PILVORNE" -Timeout=1 >/dev/null 2>&1
lab_check "-Timeout without a wake ends with 4" test $? -eq 4
lab_exec target "$PILVORNE" "-Mac=$TARGET_MAC" -Count=1 -Timeout=20 >"$WORK/mac.out" 2>&1 &
MAC_PID=$!
lab_wait_for 5 has mac.out "Listening"
send sender "$TARGET_IP" 1778 "ffffffffffff$(for _ in $(seq 16); do printf 025457000099; done)"
lab_exec sender "$KESTRAVA" "/IP=$TARGET_IP" "/MAC=$TARGET_MAC"
wait "$MAC_PID"
lab_check "-Mac -Count=1 ends with 0 after the wake for that MAC" test $? -eq 0
lab_check "-Mac kept only the wake for that MAC" test "$(grep -c "$TARGET_MAC from" "$WORK/mac.out")" -eq 1

# 6. -Summary with a gap made on purpose (1..10 without 4, 7 twice), and kestrava's own numbering.
start summary target "$PILVORNE" -Summary -Count=10 -PortNo=1782
lab_wait_for 5 has summary.out "Listening"
for n in 1 2 3 5 6 7 7 8 9 10; do send sender "$TARGET_IP" 1782 "$(header KESTRAVA 118 $n)$MAGIC"; done
lab_wait_for 5 has summary.err "dropped by the kernel"
lab_check "-Summary tells the missing and the repeated sequence number" has summary.err \
  "from $SENDER_IP for $TARGET_MAC: valid wakes 10; sequence numbers up to 10: 1 missing (4), 1 repeated, 0 out of order"
lab_check "-Summary counts the kernel's drops" has summary.err "dropped by the kernel for a full receive queue: 0"
start numbered target "$PILVORNE" -Summary -Count=3 -PortNo=1784
lab_wait_for 5 has numbered.out "Listening"
lab_exec sender "$KESTRAVA" "/IP=$TARGET_IP" "/MAC=$TARGET_MAC" /Port=1784 /Count=3 /Interval=20
lab_wait_for 5 has numbered.err "dropped by the kernel"
lab_check "kestrava /Count=3 numbers its wakes 1 to 3: none missing" has numbered.err \
  "from $SENDER_IP for $TARGET_MAC: valid wakes 3; sequence numbers up to 3: 0 missing, 0 repeated, 0 out of order"

# 7. -Any without CAP_NET_RAW: one clear line and exit 2.
lab_exec target setpriv --bounding-set=-net_raw "$PILVORNE" -Any >"$WORK/cap.out" 2>"$WORK/cap.err"
lab_check "-Any without CAP_NET_RAW ends with 2" test $? -eq 2
lab_check "... after one line naming the capability" bash -c '[ "$(wc -l <"$1")" -eq 1 ] && grep -q CAP_NET_RAW "$1"' _ "$WORK/cap.err"

# 8. The receive queue: several MiB, as far as the system allows (root: past rmem_max).
start queue target "$PILVORNE" -PortNo=1783
lab_wait_for 5 has queue.out "Listening"
rb=$(lab_exec target ss -u -l -n -m 'sport = :1783' | grep -o 'rb[0-9]*' | tr -d rb)
lab_check "the receive queue holds several MiB (rb=$rb)" test "${rb:-0}" -ge $((4 * 1024 * 1024))

lab_finish
