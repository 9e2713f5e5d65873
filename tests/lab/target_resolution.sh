#!/usr/bin/env bash
# The MAC lookup and the quick ping against hosts of a lab LAN, a silent address, the sender
# itself and a host behind a router, with raw ICMP sockets and with unprivileged ping sockets.
set -u
TOOL=${1:?usage: target_resolution.sh LOOKUP_TOOL}
source "$(dirname "$0")/lib.sh"
lab_require ping "$TOOL"

# LAN 192.0.2.0/24: the sender, the target with a fixed MAC, the router; nothing at .99.
# Behind the router, 198.51.100.0/24 holds the far host. 203.0.113.0/24 is routed nowhere.
lab_switch lan || lab_fail_or_skip "cannot build the lab"
lab_switch far
lab_host sender lan 192.0.2.1/24 02:00:00:00:00:01 192.0.2.254
lab_host target lan 192.0.2.10/24 00:0c:29:ab:cd:ef
lab_host router lan 192.0.2.254/24 02:00:00:00:00:fe
lab_host router far 198.51.100.254/24 02:00:00:00:01:fe
lab_host farhost far 198.51.100.20/24 02:00:00:00:01:14 198.51.100.254
lab_router router
lab_wait_for 5 lab_exec sender ping -c1 -W1 192.0.2.10 || lab_fail_or_skip "the lab LAN does not come up"
lab_wait_for 5 lab_exec sender ping -c1 -W1 198.51.100.20 || lab_fail_or_skip "the lab router does not forward"

tool() { lab_exec sender "$TOOL" "$@"; }
rtt_of() { sed -n 's/^rtt=\([0-9-]*\).*/\1/p' <<<"$1" | tail -n1; }
mac_of() { sed -n 's/^rtt=[0-9-]* mac=\(.*\)$/\1/p' <<<"$1"; }
nonzero() { [ -n "$1" ] && [ "$1" -gt 0 ]; }
equals() { [ "$1" = "$2" ]; }

run_checks() {
  local mode=$1 out
  lab_exec sender ip neigh flush all

  out=$(tool lookup 192.0.2.10)
  lab_check "$mode: the target answers with a round trip ($out)" nonzero "$(rtt_of "$out")"
  lab_check "$mode: the target's MAC address is found" equals "$(mac_of "$out")" "00:0C:29:AB:CD:EF"

  local start end
  start=$(date +%s%N)
  out=$(tool lookup 192.0.2.99)
  end=$(date +%s%N)
  lab_check "$mode: a silent address gives 0 ($out)" equals "$(rtt_of "$out")" 0
  lab_check "$mode: a silent address leaves the MAC text empty" equals "$(mac_of "$out")" ""
  echo "info: the silent lookup took $(( (end - start) / 1000000 )) ms"

  out=$(tool lookup 192.0.2.1)
  lab_check "$mode: the sender's own address answers ($out)" nonzero "$(rtt_of "$out")"
  lab_check "$mode: the sender's own address has no row" equals "$(mac_of "$out")" ""

  out=$(tool lookup 198.51.100.20)
  lab_check "$mode: the far host answers through the router ($out)" nonzero "$(rtt_of "$out")"
  lab_check "$mode: the far host's MAC address is not found" equals "$(mac_of "$out")" ""
  lab_check "$mode: the router's row is what the table holds" \
    bash -c "ip netns exec $(lab_ns sender) ip neigh show 192.0.2.254 | grep -qi 02:00:00:00:00:fe"

  # Several tries with the log lines on: one line per answered try, then the result.
  out=$(tool ping 192.0.2.10 4 1000 56 0x10)
  lab_check "$mode: four answered tries are logged" \
    equals "$(grep -c '^QuickPing 192.0.2.10 len=56 [0-9]*$' <<<"$out")" 4
  lab_check "$mode: the closing line carries the result" \
    grep -q "^QuickPing 192.0.2.10 len=56 result=$(rtt_of "$out")\$" <<<"$out"
  local ping_ms
  ping_ms=$(lab_exec sender ping -c4 -i0.2 -s56 192.0.2.10 | sed -n 's|.*= [0-9.]*/[0-9.]*/\([0-9.]*\)/.*|\1|p')
  echo "info: QuickPing $(rtt_of "$out") ms, system ping max ${ping_ms:-?} ms"
  lab_check "$mode: the round trip is in the range of the system ping" \
    test "$(rtt_of "$out")" -le "$(( ${ping_ms%.*} + 50 ))"

  # Time-outs are never logged; only the closing line with 0.
  out=$(tool ping 192.0.2.99 2 300 32 0x10)
  lab_check "$mode: time-outs write only the closing line" \
    equals "$(grep '^QuickPing' <<<"$out")" "QuickPing 192.0.2.99 len=32 result=0"

  # Signals and other programs' echo replies during the wait neither end it early nor extend it.
  local result="/tmp/${LAB_ID}echo" pid
  ip netns exec "$(lab_ns sender)" "$TOOL" echo 192.0.2.97 1500 >"$result" &
  pid=$!
  lab_exec sender ping -c5 -i0.2 192.0.2.10 >/dev/null &
  for _ in 1 2 3 4 5; do sleep 0.2; kill -USR1 "$pid" 2>/dev/null; done
  wait
  lab_check "$mode: a wait interrupted by signals and foreign replies still times out ($(cat "$result"))" \
    equals "$(cat "$result")" "replies=0 error=11010"
  rm -f "$result"

  # An ICMP error answers at once and is reported with its status.
  sleep 1.1  # the router's ICMP rate limit
  out=$(tool echo 203.0.113.5 2000)
  lab_check "$mode: an unreachable network is reported as such ($out)" equals "$out" "replies=0 error=11002"
  out=$(tool echo 0.0.0.0 200)
  lab_check "$mode: 0.0.0.0 is refused without sending ($out)" equals "$out" "replies=0 error=11050"
}

run_checks raw

# The table as the platform gives it: ascending by address as a number, incomplete rows
# included with a zero hardware address.
lab_exec sender ip neigh flush all
lab_exec sender ip neigh add 192.0.2.100 lladdr 02:00:00:00:00:64 dev eth0 nud permanent
lab_exec sender ip neigh add 192.0.2.9 lladdr 02:00:00:00:00:09 dev eth0 nud permanent
lab_exec sender ip neigh add 192.0.2.20 lladdr 02:00:00:00:00:14 dev eth0 nud permanent
tool echo 192.0.2.98 200 >/dev/null
out=$(tool table 50)
lab_check "rows come in ascending order of address" \
  equals "$(awk '$1 ~ /^192\.0\.2\.(9|20|98|100)$/ { print $1 }' <<<"$out" | tr '\n' ' ')" \
  "192.0.2.9 192.0.2.20 192.0.2.98 192.0.2.100 "
lab_check "an unresolved address is listed with a zero hardware address" \
  grep -q '^192.0.2.98 00:00:00:00:00:00 len=6 type=2$' <<<"$out"
small=$(tool table 2)
# By address only: the kernel may move the unresolved entry's state between two reads.
lab_check "a room smaller than the table gives its first rows" \
  equals "$(tail -n +2 <<<"$small" | awk '{ print $1 }')" "$(sed -n 2,3p <<<"$out" | awk '{ print $1 }')"
lab_check "a room smaller than the table still gives the total ($(head -n1 <<<"$small"))" \
  test "$(sed -n 's/^total=//p' <<<"$small")" -ge 4

# A table of more than 300 rows: the lookup warns and does not see the rows beyond the 300th.
# A second link in the sender carries a second row for each of 150 addresses.
lab_exec sender ip link add x0 type veth peer name x1
lab_exec sender ip link set x0 up
lab_exec sender ip link set x1 up
lab_exec sender ip neigh add 198.51.100.20 lladdr 02:00:00:00:0a:14 dev x0 nud permanent
out=$(tool lookup 198.51.100.20)
lab_check "a row of the far host's address is found by text ($out)" equals "$(mac_of "$out")" "02:00:00:00:0A:14"
for i in $(seq 100 249); do
  echo "neigh replace 192.0.2.$i lladdr 02:00:00:00:02:$(printf %02x $((i - 100))) dev x0 nud permanent"
  echo "neigh replace 192.0.2.$i lladdr 02:00:00:00:03:$(printf %02x $((i - 100))) dev x1 nud permanent"
done | lab_exec sender ip -batch -
total=$(tool table 0 | sed -n 's/^total=//p')
out=$(tool lookup 198.51.100.20)
lab_check "a large table writes the warning ($total rows)" \
  grep -q "^Warning : The Allocated memory was insufficient(allocated 300 needed $total)\$" <<<"$out"
lab_check "a row beyond the 300th is not found" equals "$(mac_of "$out")" ""
out=$(tool lookup 192.0.2.10)
lab_check "a row within the first 300 is still found" equals "$(mac_of "$out")" "00:0C:29:AB:CD:EF"
lab_exec sender ip link del x0
# Unprivileged ping sockets, as a normal user would get them where the system allows it.
lab_exec sender sysctl -qw net.ipv4.ping_group_range="0 2147483647"
run_checks datagram
lab_finish
