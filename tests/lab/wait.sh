#!/usr/bin/env bash
# kestrava /Wait against the sleeping-host simulator on the lab's LANs: what each kind of target
# makes of the wait (woken and seen by ping or a port, never woken, already awake, another
# machine on its address, a lost first wake, a hosts file of ten, a target behind the router),
# its exit status, its line or JSON object, and the status line that only a terminal gets.
# Usage: wait.sh KESTRAVA SLEEPING_HOST
set -u
KESTRAVA=$(realpath "$1")
SIMULATOR=$(realpath "$2")
source "$(dirname "$0")/lib.sh"
lab_require "$KESTRAVA" "$SIMULATOR" ping script timeout python3

MAC=02:54:57:00:0a:14
OTHER_MAC=02:54:57:00:0a:99
FAR_MAC=02:54:57:00:0b:14
lab_switch lan || lab_fail_or_skip "cannot create the switch"
lab_switch lan2 || lab_fail_or_skip "cannot create the second switch"
lab_host sender lan 192.0.2.10/24 02:54:57:00:0a:0a 192.0.2.1 || lab_fail_or_skip "cannot create the sender"
lab_host target lan 192.0.2.20/24 "$MAC" || lab_fail_or_skip "cannot create the target"
lab_host other lan 192.0.2.40/24 "$OTHER_MAC" || lab_fail_or_skip "cannot create the other machine"
lab_host router lan 192.0.2.1/24 02:54:57:00:0a:01 || lab_fail_or_skip "cannot create the router"
lab_host router lan2 198.51.100.1/24 02:54:57:00:0b:01
lab_host far lan2 198.51.100.20/24 "$FAR_MAC" 198.51.100.1 || lab_fail_or_skip "cannot create the far target"
lab_router router
# The wake for the far target goes to its subnet's broadcast address, which a router forwards
# only when told to (the directed broadcast, off by default).
for conf in all eth0 eth1; do lab_exec router sysctl -qw "net.ipv4.conf.$conf.bc_forwarding=1"; done
lab_wait_for 5 lab_exec sender ping -c1 -W1 192.0.2.20 || lab_fail_or_skip "the lab LAN does not come up"
lab_wait_for 5 lab_exec sender ping -c1 -W1 198.51.100.20 || lab_fail_or_skip "the router does not forward"

WORK=$(mktemp -d /tmp/tidewake-wait.XXXXXX)
SIM_PIDS=()
stop_simulators() { lab_stop "${SIM_PIDS[@]}"; SIM_PIDS=(); }
trap 'stop_simulators; rm -rf "$WORK"; lab_cleanup' EXIT

# start_simulator HOST OUT OPTIONS...: the simulator on HOST's eth0, once it says it is set up.
start_simulator() {
  lab_sleeper "$SIMULATOR" "$@"
  local started=$?
  SIM_PIDS+=("$LAB_SLEEPER_PID")
  return $started
}

# What varies from run to run: the seconds a target took.
steady() { sed -E 's/after [0-9]+\.[0-9] s/after <t> s/; s/"seconds":[0-9]+\.[0-9]/"seconds":<t>/'; }

# Another machine answers on the target's address while the target sleeps.
impostor_on() { lab_exec other ip addr add 192.0.2.20/24 dev eth0; }
impostor_off() { lab_exec other ip addr del 192.0.2.20/24 dev eth0; }

# One case a line: name | setup (- for none) | simulator host | simulator options |
# kestrava's options | the magic packets the simulator saw (- not counted) | exit status |
# kestrava's standard output.
T="/IP=192.0.2.20 /MAC=$MAC"
CASES=(
  "woken, seen by ping|-|target|--delay 3000|$T /Wait=20|1|0|192.0.2.20 is awake after <t> s: ping reply from $MAC (1 wake sent)"
  "pings dropped, port 22 open|-|target|--delay 1000 --firewall --port 22|$T /Wait=20 /Probe=22|1|0|192.0.2.20 is awake after <t> s: TCP accept on port 22 from $MAC (1 wake sent)"
  "pings dropped, port closed: the reset counts|-|target|--delay 1000 --firewall|$T /Wait=20 /Probe=22|1|0|192.0.2.20 is awake after <t> s: TCP reset on port 22 from $MAC (1 wake sent)"
  "never wakes|-|target|--ignore 100|$T /Wait=4 /Probe=22,3389|1|3|192.0.2.20 did not answer within 4 s (1 wake sent; no reply to ping or ports 22, 3389)"
  "already awake, still woken|-|target|--awake|$T /Wait=20|1|0|192.0.2.20 was already awake: ping reply from $MAC (1 wake sent)"
  "already awake, /SkipAwake|-|target|--awake|$T /Wait=20 /SkipAwake|0|0|192.0.2.20 was already awake: ping reply from $MAC (no wake sent)"
  "another machine on the address|impostor|target|--ignore 100|$T /Wait=10|1|3|192.0.2.20 answered from $OTHER_MAC, not the woken $MAC: is the address stale?"
  "first wake lost, /Resend wakes it|-|target|--ignore 1|$T /Wait=20 /Resend=2 /Count=1|-|0|192.0.2.20 is awake after <t> s: ping reply from $MAC (2 wakes sent)"
  "behind the router|-|far|--delay 1000|/IP=198.51.100.20 /MAC=$FAR_MAC /Wait=20|1|0|198.51.100.20 is awake after <t> s: ping reply; identity not checked (behind a router) (1 wake sent)"
  "behind the router, JSON|-|far|--delay 1000|/IP=198.51.100.20 /MAC=$FAR_MAC /Wait=20 /Json|1|0|{\"target\":\"198.51.100.20\",\"name\":null,\"mac\":\"$FAR_MAC\",\"address\":\"198.51.100.20\",\"outcome\":\"awake\",\"seconds\":<t>,\"probe\":\"ping\",\"answer\":\"reply\",\"answered_mac\":null,\"wakes_sent\":1,\"identity\":\"not-checked\"}"
  "another machine, JSON|impostor|target|--ignore 100|$T /Wait=5 /Json|1|3|{\"target\":\"192.0.2.20\",\"name\":null,\"mac\":\"$MAC\",\"address\":\"192.0.2.20\",\"outcome\":\"wrong-mac\",\"seconds\":<t>,\"probe\":\"ping\",\"answer\":\"reply\",\"answered_mac\":\"$OTHER_MAC\",\"wakes_sent\":1,\"identity\":\"checked\"}"
)

for row in "${CASES[@]}"; do
  IFS='|' read -r name setup host sim_options options packets status expected <<<"$row"
  stop_simulators
  # shellcheck disable=SC2086 # the options are words
  start_simulator "$host" "$WORK/sim.out" $sim_options
  [ "$setup" = "-" ] || "${setup}_on"
  lab_exec sender ip neigh flush all
  # shellcheck disable=SC2086
  lab_exec sender timeout 60 "$KESTRAVA" $options >"$WORK/out" 2>"$WORK/err"
  got=$?
  [ "$setup" = "-" ] || "${setup}_off"
  lab_check "$name: exit status $status" lab_equals "$got" "$status"
  lab_check "$name: the line" lab_equals "$(steady <"$WORK/out")" "$expected"
  lab_check "$name: nothing on standard error, which is no terminal" lab_equals "$(cat "$WORK/err")" ""
  [ "$packets" = "-" ] ||
    lab_check "$name: $packets magic packets" lab_equals "$(grep -c 'magic packet' "$WORK/sim.out")" "$packets"
done

# Ten hosts of a hosts file, each waking after its own delay, all settled in one wait that is
# shorter than their delays added up.
stop_simulators
: >"$WORK/hosts"
expected=""
for i in 1 2 3 4 5 6 7 8 9 10; do
  mac=$(printf '02:54:57:00:0c:%02x' "$i")
  lab_host "h$i" lan "192.0.2.$((100 + i))/24" "$mac" || lab_fail_or_skip "cannot create host $i"
  start_simulator "h$i" "$WORK/h$i.out" --delay $((i * 1000))
  echo "$mac 192.0.2.$((100 + i)) host$i" >>"$WORK/hosts"
  expected+="192.0.2.$((100 + i)) (host$i) is awake after <t> s: ping reply from $mac (1 wake sent)"$'\n'
done
lab_exec sender ip neigh flush all
lab_exec sender timeout 60 "$KESTRAVA" "/File=$WORK/hosts" /Wait=15 >"$WORK/out" 2>"$WORK/err"
lab_check "ten hosts: exit status 0" lab_equals "$?" 0
lab_check "ten hosts: a line each" lab_equals "$(steady <"$WORK/out" | sort)" "$(printf '%s' "$expected" | sort)"

# On a terminal a status line counts the targets still awaited and the seconds, overwritten in
# place and cleared before the outcome's line.
stop_simulators
start_simulator target "$WORK/sim.out" --delay 3000
lab_exec sender ip neigh flush all
lab_exec sender timeout 60 script -qec "$KESTRAVA $T /Wait=20" /dev/null >"$WORK/tty" 2>&1
lab_check "terminal: the status line" grep -qE $'\rwaiting for 1 of 1 targets: [0-9]+ s' "$WORK/tty"
lab_check "terminal: cleared before the line" grep -qE $'\r +\r192\\.0\\.2\\.20 is awake after' "$WORK/tty"
lab_check "terminal: the line ends the output" lab_equals \
  "$(tr '\r' '\n' <"$WORK/tty" | grep -v '^ *$' | tail -n 1 | steady)" \
  "192.0.2.20 is awake after <t> s: ping reply from $MAC (1 wake sent)"

stop_simulators
lab_finish
