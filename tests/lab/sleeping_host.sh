#!/usr/bin/env bash
# The sleeping-host simulator seen from another host of the lab's LAN: asleep it answers
# neither ARP nor ping nor TCP; Debian's wakeonlan (UDP) or etherwake (EtherType 0x0842) wakes
# it, after its delay and the wakes it is told to ignore; awake it answers as it is told.
# Usage: sleeping_host.sh SLEEPING_HOST
set -u
SIMULATOR=$(realpath "$1")
source "$(dirname "$0")/lib.sh"
lab_require "$SIMULATOR" ping wakeonlan etherwake timeout

SENDER_IP=192.0.2.10
TARGET_IP=192.0.2.20
TARGET_MAC=02:54:57:00:0a:14
lab_switch lan || lab_fail_or_skip "cannot create the switch"
lab_host sender lan "$SENDER_IP/24" 02:54:57:00:0a:0a || lab_fail_or_skip "cannot create the sender host"
lab_host target lan "$TARGET_IP/24" "$TARGET_MAC" || lab_fail_or_skip "cannot create the target host"
lab_wait_for 5 lab_exec sender ping -c1 -W1 "$TARGET_IP" || lab_fail_or_skip "the lab LAN does not come up"

OUT=$(mktemp)
SIM_PID=
stop_simulator() { lab_stop "$SIM_PID"; SIM_PID=; }
trap 'stop_simulator; rm -f "$OUT"; lab_cleanup' EXIT

# start_simulator OPTIONS...: runs it in the target and waits until it says it is set up.
start_simulator() {
  stop_simulator
  lab_sleeper "$SIMULATOR" target "$OUT" "$@"
  SIM_PID=$LAB_SLEEPER_PID
  lab_exec sender ip neigh flush all
}

pings() { lab_exec sender ping -c1 -W1 "$TARGET_IP" >/dev/null 2>&1; }
# open, refused or silent (no answer within 2 s, or no route once ARP gave up)
tcp_state() {
  local err
  err=$(lab_exec sender timeout 2 bash -c "exec 3<>/dev/tcp/$TARGET_IP/$1" 2>&1) && { echo open; return; }
  case $err in *"Connection refused"*) echo refused ;; *) echo silent ;; esac
}
# Whether the sender's neighbour table holds the target's MAC (an ARP answer came).
arp_answered() { lab_exec sender ip neigh show "$TARGET_IP" | grep -qi "lladdr $TARGET_MAC"; }
awake() { grep -q ' awake$' "$OUT"; }
fails() { ! "$@"; }

# Asleep, then woken by wakeonlan to the subnet's broadcast, with a port that listens.
start_simulator --delay 1000 --port 22
lab_check "asleep: no ping reply" fails pings
lab_check "asleep: no ARP answer" fails arp_answered
lab_check "asleep: TCP gets nothing, not even a reset" lab_equals "$(tcp_state 22)" silent
lab_exec sender wakeonlan -i 192.0.2.255 "$TARGET_MAC" >/dev/null
lab_check "the wake is seen and the delay starts" lab_wait_for 2 grep -q 'magic packet 1: waking in 1000 ms' "$OUT"
lab_check "awake after the delay" lab_wait_for 5 awake
lab_check "awake: ping reply" pings
lab_check "awake: ARP answer with its MAC" arp_answered
lab_check "awake: the port accepts" lab_equals "$(tcp_state 22)" open
lab_check "awake: another port resets" lab_equals "$(tcp_state 23)" refused

# The first wake lost; the second, to another port, wakes it behind a firewall that drops pings.
start_simulator --ignore 1 --firewall
lab_exec sender wakeonlan -i 192.0.2.255 "$TARGET_MAC" >/dev/null
lab_check "the first wake is ignored" lab_wait_for 2 grep -q 'magic packet 1 ignored' "$OUT"
lab_check "still asleep after it" lab_equals "$(tcp_state 22)" silent
lab_exec sender wakeonlan -i 192.0.2.255 -p 7 "$TARGET_MAC" >/dev/null
lab_check "the second wake wakes it" lab_wait_for 5 awake
lab_check "firewalled: pings still dropped" fails pings
lab_check "firewalled: a closed port resets" lab_equals "$(tcp_state 22)" refused

# A raw wake frame (EtherType 0x0842) wakes it too; one for another MAC, sent first, is not
# taken for a magic packet.
start_simulator
lab_exec sender etherwake -i eth0 02:54:57:00:0a:99
lab_exec sender etherwake -i eth0 "$TARGET_MAC"
lab_check "an EtherType 0x0842 frame wakes it" lab_wait_for 5 awake
lab_check "the frame for another MAC was not counted" grep -q 'magic packet 1: waking in 0 ms' "$OUT"
lab_check "awake at once: ping reply" pings

# Already awake from the start.
start_simulator --awake --port 3389
lab_check "already awake: ping reply" pings
lab_check "already awake: the port accepts" lab_equals "$(tcp_state 3389)" open

stop_simulator
lab_finish
