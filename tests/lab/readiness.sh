#!/usr/bin/env bash
# pilvorne -Check and -Enable on a lab host, whose eth0 is a veth: the kernel's own answer for a
# card without Wake-on-LAN, the card left out when none is named, and both with and without
# CAP_NET_ADMIN.
# Usage: readiness.sh PILVORNE
set -u
PILVORNE=$(realpath "$1")
source "$(dirname "$0")/lib.sh"
lab_require "$PILVORNE" python3 setpriv

lab_switch lan || lab_fail_or_skip "cannot create the switch"
lab_host target lan 192.0.2.20/24 02:54:57:00:00:14 || lab_fail_or_skip "cannot create the target host"
WORK=$(mktemp -d /tmp/tidewake-readiness.XXXXXX)
trap 'rm -rf "$WORK"; lab_cleanup' EXIT

# run NAME ARGS...: pilvorne on the target; its status in $WORK/NAME.status.
run() {
  local name=$1; shift
  lab_exec target "$@" >"$WORK/$name.out" 2>"$WORK/$name.err"
  echo $? >"$WORK/$name.status"
}
status() { cat "$WORK/$1.status"; }

run named "$PILVORNE" -Check -Interface=eth0
lab_check "-Check -Interface=eth0: exit 5" [ "$(status named)" -eq 5 ]
lab_check "-Check -Interface=eth0: the veth cannot wake the machine" lab_equals "$(head -n 4 "$WORK/named.out")" \
"eth0: cannot wake: the card does not support Wake-on-LAN, so this interface cannot wake the machine
  wake modes: none, the driver has no Wake-on-LAN (Operation not supported)
  device wakeup: not shown (the device has no wakeup flag)
  driver: not known; link: up; MAC 02:54:57:00:00:14"
lab_check "-Check -Interface=eth0: the machine's sleep states last" grep -q '^this machine: sleep states ' "$WORK/named.out"

run all "$PILVORNE" -Check
lab_check "-Check: exit 5 with no card to check" [ "$(status all)" -eq 5 ]
lab_check "-Check: the veth is left out, and said so" lab_equals "$(cat "$WORK/all.err")" \
  "pilvorne: no Ethernet card to check (left out: eth0); name one with -Interface=NAME"

run json "$PILVORNE" -Check -Json -Interface=eth0
lab_check "-Check -Json: exit 5" [ "$(status json)" -eq 5 ]
lab_check "-Check -Json: one object, its verdict and cause" python3 - "$WORK/json.out" <<'PY'
import json, sys
rows = [json.loads(line) for line in open(sys.argv[1])]
ok = len(rows) == 1 and rows[0]["name"] == "eth0" and rows[0]["verdict"] == "cannot wake"
ok = ok and rows[0]["supported"] is None and rows[0]["persistence"] == []
ok = ok and rows[0]["causes"] == ["the card does not support Wake-on-LAN, so this interface cannot wake the machine"]
sys.exit(0 if ok else f"got {rows}")
PY

run enable "$PILVORNE" -Enable -Interface=eth0
lab_check "-Enable as root: exit 5" [ "$(status enable)" -eq 5 ]
lab_check "-Enable as root: the card does not support it" lab_equals "$(cat "$WORK/enable.err")" \
  "pilvorne: eth0: the card does not support wake by magic packet; nothing was changed"

run nocap setpriv --inh-caps=-net_admin --bounding-set=-net_admin "$PILVORNE" -Enable -Interface=eth0
lab_check "-Enable without CAP_NET_ADMIN: exit 2" [ "$(status nocap)" -eq 2 ]
lab_check "-Enable without CAP_NET_ADMIN: one line says so" lab_equals "$(cat "$WORK/nocap.err")" \
  "pilvorne: -Enable needs the CAP_NET_ADMIN capability to change wake settings: run it as root"
lab_check "-Enable without CAP_NET_ADMIN: nothing on standard output" [ ! -s "$WORK/nocap.out" ]

# The kernel shows wake modes only with CAP_NET_ADMIN: without it -Check says so and tells
# the facts that anyone may read.
run plain setpriv --inh-caps=-all --bounding-set=-all "$PILVORNE" -Check -Interface=eth0
lab_check "-Check without capabilities: exit 2" [ "$(status plain)" -eq 2 ]
lab_check "-Check without capabilities: says why, and the other facts" lab_equals "$(head -n 4 "$WORK/plain.out")" \
"eth0: cannot tell whether it can wake: the kernel shows a card's wake modes only to a process with the CAP_NET_ADMIN capability: run pilvorne -Check as root
  wake modes: shown only with CAP_NET_ADMIN
  device wakeup: not shown (the device has no wakeup flag)
  driver: not known; link: up; MAC 02:54:57:00:00:14"

lab_finish
