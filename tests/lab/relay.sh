#!/usr/bin/env bash
# The relay across a router: a directed broadcast from another subnet does not arrive, the
# relay's does; forged, foreign, stale, replayed and unlisted requests wake nothing and are
# logged with their reasons; a flood leaves the relay's memory as it was; the rate limits hold;
# /Wait watches a sleeping machine that the relay wakes.
set -u
USAGE="usage: relay.sh KESTRAVA PILVORNE RELAY_PEER SLEEPING_HOST"
KESTRAVA=${1:?$USAGE}
PILVORNE=${2:?$USAGE}
PEER=${3:?$USAGE}
SIMULATOR=${4:?$USAGE}
source "$(dirname "$0")/lib.sh"
lab_require "$KESTRAVA" "$PILVORNE" "$PEER" "$SIMULATOR" tcpdump tshark

# 198.51.100.0/24 holds the sender; behind the router, 192.0.2.0/24 the relay and the target.
# Linux routers do not forward directed broadcasts unless bc_forwarding is set: it stays off.
lab_switch far || lab_fail_or_skip "cannot build the lab"
lab_switch lan
lab_host sender far 198.51.100.10/24 02:54:57:00:0b:0a 198.51.100.1
lab_host router far 198.51.100.1/24 02:54:57:00:0b:01
lab_host router lan 192.0.2.1/24 02:54:57:00:0a:01
lab_host relay lan 192.0.2.5/24 02:54:57:00:0a:05 192.0.2.1
lab_host target lan 192.0.2.20/24 02:54:57:00:0a:14 192.0.2.1
lab_host sleeper lan 192.0.2.22/24 02:54:57:00:0a:16 192.0.2.1
lab_router router
lab_exec router sysctl -qw net.ipv4.conf.all.bc_forwarding=0 net.ipv4.conf.eth1.bc_forwarding=0
lab_wait_for 5 lab_exec sender ping -c1 -W1 192.0.2.20 || lab_fail_or_skip "the lab router does not forward"

WORK=$(mktemp -d)
trap 'lab_cleanup; rm -rf "$WORK"' EXIT
TARGET_MAC=02:54:57:00:0A:14
lab_exec relay "$PILVORNE" -NewKey="$WORK/relay.key" >/dev/null
lab_exec relay "$PILVORNE" -NewKey="$WORK/other.key" >/dev/null
# The same identifier with another secret: what a forger who knows the identifier signs with.
sed 's/ [0-9a-f]*$/ '"$(printf '%064d' 0)"'/' "$WORK/relay.key" >"$WORK/forged.key"
chmod 600 "$WORK/forged.key"
{
  echo "# the machines the relay may wake"
  echo "$TARGET_MAC 192.0.2.20 target"
  echo "02:54:57:00:0a:15"
  echo "02:54:57:00:0a:16 192.0.2.22 sleeper"
  for i in $(seq 10 40); do echo "02:54:57:00:0c:$i"; done
} >"$WORK/hosts.txt"

# The target's listener on port 9: every datagram that reaches it is two lines.
lab_exec target "$PILVORNE" -PortNo=9 >"$WORK/target.out" 2>&1 &
TARGET_PID=$!
lab_exec relay "$PILVORNE" -Relay -Key="$WORK/relay.key" -Hosts="$WORK/hosts.txt" >"$WORK/relay.out" 2>"$WORK/relay.err" &
RELAY_PID=$!
lab_wait_for 5 grep -q 'Listening' "$WORK/target.out"
lab_wait_for 5 grep -q 'Relaying signed wake requests on port no 1779' "$WORK/relay.out"
# The relay is the one process of its namespace (the shell's job is the function around it).
RELAY_PROC=$(ip netns pids "$(lab_ns relay)")
target_entries() { grep -c "broadcast magic packet" "$WORK/target.out"; }
relay_lines() { grep -c 'relay request from' "$WORK/relay.out"; }

# The need: the router keeps the directed broadcast to 192.0.2.255 from the other subnet.
lab_exec sender "$KESTRAVA" /MAC=$TARGET_MAC /To=192.0.2.255 /Port=9 >/dev/null 2>&1
sleep 1
lab_check "a directed broadcast from 198.51.100.0/24 does not reach the target" lab_equals "$(target_entries)" 0

# Through the relay it does, and kestrava reports the relay's acknowledgement. The request is
# captured on the way, to be sent again later.
lab_exec router tcpdump -i eth0 --immediate-mode -U -w "$WORK/request.pcap" -Z root udp dst port 1779 2>"$WORK/tcpdump.err" &
DUMP_PID=$!
lab_wait_for 5 grep -q 'listening on' "$WORK/tcpdump.err"
out=$(lab_exec sender "$KESTRAVA" /MAC=02:54:57:00:0a:14 /Relay=192.0.2.5 /Key="$WORK/relay.key" /Port=9 /Verbose 2>&1)
code=$?
lab_check "kestrava /Relay exits 255 after the acknowledgement" lab_equals "$code" 255
lab_check "kestrava /Verbose prints where the relay sent the wake" \
  lab_equals "$out" "relayed by 192.0.2.5: 192.0.2.255 port 9 on eth0, 1 datagram"
lab_wait_for 5 test "$(target_entries)" -ge 1
lab_check "the target sees the relay's broadcast" grep -q \
  "broadcast magic packet       - $TARGET_MAC from 192.0.2.5 (len=102)" "$WORK/target.out"
lab_check "the relay logs the relayed wake" grep -q \
  "relay request from 198.51.100.10 port [0-9]* for $TARGET_MAC: relayed to 192.0.2.255 port 9 on eth0, 1 datagram\$" \
  "$WORK/relay.out"
lab_wait_for 5 test "$(stat -c %s "$WORK/request.pcap")" -gt 24
kill "$(ip netns pids "$(lab_ns router)")"
lab_stop "$DUMP_PID"
CAPTURED=$(tshark -r "$WORK/request.pcap" -T fields -e data 2>/dev/null | head -n1)
lab_check "the request was captured on the router (${#CAPTURED} hex digits)" lab_equals "${#CAPTURED}" 324

# A hosts-file line names its relay; copies come from /Count.
printf '%s relay=192.0.2.5:1779 target\n' "$TARGET_MAC" >"$WORK/relayed_hosts.txt"
out=$(lab_exec sender "$KESTRAVA" /File="$WORK/relayed_hosts.txt" /Key="$WORK/relay.key" /Port=9 /Count=3 /Verbose 2>&1)
lab_check "a hosts-file line goes through its relay, 3 copies" \
  lab_equals "$out" "relayed by 192.0.2.5: 192.0.2.255 port 9 on eth0, 3 datagrams, host target"
lab_wait_for 5 test "$(target_entries)" -ge 4
lab_check "the target sees the three copies" lab_equals "$(target_entries)" 4

# Requests that must wake nothing: each gets no answer and one line with its reason.
sign() { lab_exec sender "$PEER" sign "$1" "$2" "$3"; }
valid=$(sign "$WORK/relay.key" "$TARGET_MAC" 0)
# One bit of the MAC changed after signing.
tampered="${valid:0:35}$(printf '%x' $(( 0x${valid:35:1} ^ 1 )))${valid:36}"
while read -r what request reason; do
  before=$(relay_lines)
  entries=$(target_entries)
  out=$(lab_exec sender "$PEER" send 192.0.2.5 1779 "$request")
  lab_wait_for 5 test "$(relay_lines)" -gt "$before"
  lab_check "$what: no answer ($out)" lab_equals "$out" "sent 1 answers 0"
  lab_check "$what: logged as '$reason'" grep -q "from 198.51.100.10 port [0-9]*.*: refused, $reason\$" \
    <(tail -n +"$((before + 2))" "$WORK/relay.out")
  lab_check "$what: nothing reaches the target" lab_equals "$(target_entries)" "$entries"
done <<EOF
forged_signature $(sign "$WORK/forged.key" "$TARGET_MAC" 0) bad signature
tampered_MAC $tampered bad signature
unknown_key $(sign "$WORK/other.key" "$TARGET_MAC" 0) unknown key identifier
stale_time $(sign "$WORK/relay.key" "$TARGET_MAC" -120) time more than 60 s from the relay's clock
future_time $(sign "$WORK/relay.key" "$TARGET_MAC" 120) time more than 60 s from the relay's clock
captured_and_replayed $CAPTURED replayed nonce
unlisted_MAC $(sign "$WORK/relay.key" 02:54:57:00:0a:99 0) MAC not in the hosts file
too_short 48656c6c6f wrong length
other_tag ${valid:0:14}5a${valid:16} not a relay request
EOF

# kestrava with a key the relay does not know: no acknowledgement, a failed send.
out=$(lab_exec sender "$KESTRAVA" /MAC=$TARGET_MAC /Relay=192.0.2.5 /Key="$WORK/other.key" 2>&1)
code=$?
lab_check "a send the relay does not acknowledge exits 1" lab_equals "$code" 1
lab_check "with one line" lab_equals "$out" \
  "kestrava: relay 192.0.2.5 port 1779: no acknowledgement after 3 tries of 2 s; the wake was not relayed"

# A flood of random and replayed datagrams: no wake, no answer, the relay's memory flat.
rss() { awk '$1 == "VmRSS:" { print $2 }' "/proc/$RELAY_PROC/status"; }
entries=$(target_entries)
before_lines=$(relay_lines)
rss_before=$(rss)
flood_start=$(date +%s%N)
out=$(lab_exec sender "$PEER" flood 192.0.2.5 1779 100000 30 "$CAPTURED")
sent=$(sed -n 's/^sent \([0-9]*\) .*/\1/p' <<<"$out")
lab_wait_for 20 test "$(relay_lines)" -ge "$((before_lines + sent * 9 / 10))"
flood_ms=$((($(date +%s%N) - flood_start) / 1000000))
sleep 1
rss_after=$(rss)
handled=$(($(relay_lines) - before_lines))
lab_check "flood: the relay answers none of them ($out)" grep -q 'answers 0$' <<<"$out"
lab_check "flood: nothing reaches the target" lab_equals "$(target_entries)" "$entries"
lab_check "flood: none is relayed" lab_equals "$(tail -n "$handled" "$WORK/relay.out" | grep -c ': relayed to')" 0
lab_check "flood: the replays are refused as such" \
  test "$(tail -n "$handled" "$WORK/relay.out" | grep -c 'refused, replayed nonce$')" -gt 0
lab_check "flood: VmRSS ${rss_before} kB before, ${rss_after} kB after $handled requests" \
  test -n "$rss_before" -a -n "$rss_after" -a "$((rss_after - rss_before))" -lt 256
echo "flood: $sent sent, $handled logged in $flood_ms ms, VmRSS $rss_before -> $rss_after kB"

# The rate limits: a MAC has 5 at once, then one a second; the relay 20 at once.
sleep 1.2
burst=()
for i in 1 2 3 4 5 6 7; do burst+=("$(sign "$WORK/relay.key" 02:54:57:00:0a:15 0)"); done
before=$(relay_lines)
out=$(lab_exec sender "$PEER" send 192.0.2.5 1779 "${burst[@]}")
lab_wait_for 5 test "$(relay_lines)" -ge "$((before + 7))"
new=$(tail -n 7 "$WORK/relay.out")
lab_check "7 at once for one MAC: 5 relayed and answered ($out)" lab_equals "$out" "sent 7 answers 5"
lab_check "the other 2 refused for the MAC's rate" lab_equals "$(grep -c 'refused, rate limit for the MAC$' <<<"$new")" 2
sleep 1.2
burst=()
for i in $(seq 10 34); do burst+=("$(sign "$WORK/relay.key" 02:54:57:00:0c:$i 0)"); done
before=$(relay_lines)
out=$(lab_exec sender "$PEER" send 192.0.2.5 1779 "${burst[@]}")
lab_wait_for 5 test "$(relay_lines)" -ge "$((before + 25))"
new=$(tail -n 25 "$WORK/relay.out")
total=$(grep -c 'refused, rate limit of the relay$' <<<"$new")
relayed=$(grep -c ': relayed to' <<<"$new")
lab_check "25 at once for 25 MACs: 20 or 21 relayed ($relayed), the rest refused for the relay's rate ($total)" \
  test "$relayed" -ge 20 -a "$relayed" -le 21 -a "$((relayed + total))" -eq 25

# -Json: the same facts, one object per request.
kill "$RELAY_PROC"
lab_stop "$RELAY_PID"
lab_wait_for 5 test -z "$(ip netns pids "$(lab_ns relay)")"
lab_exec relay "$PILVORNE" -Relay -Key="$WORK/relay.key" -Json -Count=1 -Timeout=10 >"$WORK/relay.json" 2>&1 &
RELAY_PID=$!
sleep 0.5
lab_exec sender "$PEER" send 192.0.2.5 1779 "$(sign "$WORK/relay.key" 02:54:57:00:0a:99 -300)" >/dev/null
wait "$RELAY_PID"
code=$?
lab_check "-Json -Count=1: ends after one request, none relayed (exit 4)" lab_equals "$code" 4
lab_check "-Json: one object with the reason" grep -q \
  '"relay_request_from":"198.51.100.10","from_port":[0-9]*,"mac":"02:54:57:00:0A:99","outcome":"refused","reason":"time more than 60 s from the relay'"'"'s clock","relayed_to":null,"datagrams":0,"acknowledged":false}$' \
  "$WORK/relay.json"

# -Ether: a request for the frame alone; the target's capture sees the 0x0842 frame from the
# relay's link, and no UDP datagram comes.
lab_exec target "$PILVORNE" -Any -Interface=eth0 -Mac=$TARGET_MAC -Json -Count=1 -Timeout=20 >"$WORK/frame.json" 2>&1 &
CAPTURE_PID=$!
lab_exec relay "$PILVORNE" -Relay -Key="$WORK/relay.key" -Ether -Count=1 -Timeout=20 >"$WORK/relay_ether.out" 2>&1 &
RELAY_PID=$!
lab_wait_for 5 grep -q Relaying "$WORK/relay_ether.out"
sleep 1  # the capture opens its device
entries=$(target_entries)
out=$(lab_exec sender "$KESTRAVA" /MAC=$TARGET_MAC /Relay=192.0.2.5 /Key="$WORK/relay.key" /Ether /Verbose 2>&1)
wait "$RELAY_PID"
wait "$CAPTURE_PID"
lab_check "-Ether: kestrava /Ether through the relay ($out)" \
  lab_equals "$out" "relayed by 192.0.2.5: EtherType 0x0842 on eth0, 1 datagram"
lab_check "-Ether: the target captures the relay's frame" grep -q '"via":"ethertype-0x0842".*"mac":"'$TARGET_MAC'"' \
  "$WORK/frame.json"
lab_check "-Ether: and no UDP datagram" lab_equals "$(target_entries)" "$entries"

# /Wait through the relay: kestrava probes the sleeping machine itself, across the router, and
# the wake it sends again goes through the relay too (the simulator ignores the first one).
SLEEPER_MAC=02:54:57:00:0a:16
lab_exec relay "$PILVORNE" -Relay -Key="$WORK/relay.key" -Hosts="$WORK/hosts.txt" >"$WORK/relay_wait.out" 2>&1 &
RELAY_PID=$!
lab_wait_for 5 grep -q Relaying "$WORK/relay_wait.out"
lab_sleeper "$SIMULATOR" sleeper "$WORK/sleeper.out" --ignore 1 --delay 1000
SLEEPER_PID=$LAB_SLEEPER_PID
out=$(lab_exec sender "$KESTRAVA" /IP=192.0.2.22 /MAC=$SLEEPER_MAC /Relay=192.0.2.5 /Key="$WORK/relay.key" /Port=9 \
  /Wait=30 /Resend=3 2>&1)
code=$?
lab_stop "$SLEEPER_PID" "$RELAY_PID"
lab_check "/Wait through the relay: exit 0 ($out)" lab_equals "$code" 0
lab_check "/Wait through the relay: awake, identity not checked, the second wake relayed" grep -qE \
  '^192\.0\.2\.22 is awake after [0-9]+\.[0-9] s: ping reply; identity not checked \(behind a router\) \(2 wakes sent\)$' <<<"$out"
lab_check "/Wait through the relay: the relay relayed both wakes" \
  lab_equals "$(grep -c ': relayed to' "$WORK/relay_wait.out")" 2

# A key file others may read is refused before the port opens.
chmod 644 "$WORK/other.key"
out=$(lab_exec relay "$PILVORNE" -Relay -Key="$WORK/other.key" 2>&1)
code=$?
lab_check "a key file others can read: exit 1 and one line ($out)" \
  test "$code" -eq 1 -a "$(wc -l <<<"$out")" -eq 1

lab_stop "$TARGET_PID"
lab_finish
