#!/usr/bin/env bash
# Lab: kestrava's silent send on a virtual LAN: one datagram of the right bytes to the subnet-directed
# broadcast address on port 1778, exit status 255, no GTK mapped, nothing sent after an unknown
# option, failures on standard error. Usage: silent_send.sh KESTRAVA UDP_CAPTURE
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

kestrava=${1:?kestrava program}
capture=${2:?udp_capture program}
lab_require "$kestrava" "$capture" strace

work=$(mktemp -d)
trap 'rm -rf "$work"; lab_cleanup' EXIT

sender_mac=02:00:5e:00:02:0a
target_mac=02:00:5e:00:02:14
lab_switch lan || lab_fail_or_skip "cannot create the switch"
# The sender's first interface after the loopback is up but has multicast switched off (one end
# of a veth pair of its own), so only the exact flags rule picks eth0's /24; side0's /22 would
# send elsewhere.
lab_add_ns sender || lab_fail_or_skip "cannot create the sender"
sender_ns=$(lab_ns sender)
ip -n "$sender_ns" link add side0 type veth peer name side1 || lab_fail_or_skip "no veth pairs here"
ip -n "$sender_ns" link set side0 multicast off
ip -n "$sender_ns" addr add 198.51.100.1/22 dev side0
ip -n "$sender_ns" link set side1 up
ip -n "$sender_ns" link set side0 up
lab_host sender lan 192.0.2.10/24 "$sender_mac" || lab_fail_or_skip "cannot create the sender"
lab_host target lan 192.0.2.20/24 "$target_mac" || lab_fail_or_skip "cannot create the target"

# The bytes a magic packet for the target's MAC carries, as lower-case hex.
mac_hex=${target_mac//:/}
body_hex=ffffffffffff
for _ in $(seq 16); do body_hex+=$mac_hex; done
header_hex=$(printf 'KESTRAVA' | od -An -tx1 | tr -d ' \n')76000000""00000000

# run_send NAME HOST ARGS...: runs kestrava in HOST (through the command in wrap, if any) while
# the target listens on 1778 for 2 s.
# Leaves $work/NAME.capture, $work/NAME.err and $work/NAME.status.
run_send() {
  local name=$1 host=$2; shift 2
  lab_exec target "$capture" 1778 2 >"$work/$name.capture" &
  local capture_pid=$!
  if ! lab_wait_for 5 grep -q '^ready$' "$work/$name.capture"; then
    echo "capture did not start" >&2
  fi
  # Without a display a run that does not send cannot open the dialog either: it ends at once.
  lab_exec "$host" env -u DISPLAY -u WAYLAND_DISPLAY timeout 10 "${wrap[@]}" "$kestrava" "$@" 2>"$work/$name.err"
  echo $? >"$work/$name.status"
  wait "$capture_pid"
}

wrap=()
datagrams() { grep -c '^from ' "$work/$1.capture"; }
field_of_only_datagram() { grep '^from ' "$work/$1.capture" | awk -v f="$2" '{print $f}'; }
status_is() { [ "$(cat "$work/$1.status")" = "$2" ]; }

lab_check "sender lists side0 before eth0" lab_equals \
  "$(lab_exec sender ip -4 -o addr show | awk '{print $2}' | tr '\n' ' ')" "lo side0 eth0 "

# The dynamic loader lists what this send maps: GTK is for the dialog alone.
wrap=(env LD_DEBUG=files "LD_DEBUG_OUTPUT=$work/hdr.ld")
run_send hdr sender /IP=192.0.2.20 /MAC=02-00-5E-00-02-14
wrap=()
lab_check "with header: exactly one datagram" lab_equals "$(datagrams hdr)" 1
lab_check "with header: from the sender" lab_equals "$(field_of_only_datagram hdr 2)" 192.0.2.10
lab_check "with header: to the subnet-directed broadcast" lab_equals "$(field_of_only_datagram hdr 4)" 192.0.2.255
lab_check "with header: 118 bytes" lab_equals "$(field_of_only_datagram hdr 6)" 118
lab_check "with header: header and magic packet bytes" lab_equals "$(field_of_only_datagram hdr 7)" "$header_hex$body_hex"
lab_check "with header: exit status 255" status_is hdr 255
lab_check "with header: nothing on standard error" lab_equals "$(cat "$work/hdr.err")" ""
lab_check "with header: the C library mapped, nothing of GTK" lab_maps_no_gtk "$work/hdr.ld"

run_send nohdr sender -ip=192.0.2.20 -mac=02:00:5e:00:02:14 -NOHDR
lab_check "nohdr: exactly one datagram" lab_equals "$(datagrams nohdr)" 1
lab_check "nohdr: to the subnet-directed broadcast" lab_equals "$(field_of_only_datagram nohdr 4)" 192.0.2.255
lab_check "nohdr: 102 bytes" lab_equals "$(field_of_only_datagram nohdr 6)" 102
lab_check "nohdr: magic packet bytes" lab_equals "$(field_of_only_datagram nohdr 7)" "$body_hex"
lab_check "nohdr: exit status 255" status_is nohdr 255

run_send unknown sender /x /IP=192.0.2.20 /MAC=02:00:5e:00:02:14
lab_check "unknown option first: nothing sent" lab_equals "$(datagrams unknown)" 0
lab_check "unknown option first: no silent send, no display for the dialog (exit status 2)" status_is unknown 2
lab_check "unknown option first: names it" grep -qxF 'kestrava: /x: not an option' "$work/unknown.err"

# With its interfaces down the sender has no subnet: the netmask falls back to 0.0.0.0, the
# destination is the limited broadcast, and with no route for it the send fails.
ip -n "$sender_ns" link set eth0 down
ip -n "$sender_ns" link set side0 down
run_send down sender /IP=192.0.2.20 /MAC=02:00:5e:00:02:14
lab_check "interface down: nothing sent" lab_equals "$(datagrams down)" 0
lab_check "interface down: the failure on standard error" lab_equals "$(cat "$work/down.err")" \
  "SendMagic err: The network can't be reached from this hos at this time"
lab_check "interface down: exit status 1, not the 255 of a send" status_is down 1

# The same failure with standard error closed: the descriptor is taken by /dev/null at start,
# so neither of the send's sockets becomes descriptor 2 and receives the error text.
lab_exec sender env -u DISPLAY strace -f -e trace=socket -o "$work/closed.trace" \
  sh -c 'exec "$0" /IP=192.0.2.20 /MAC=02:00:5e:00:02:14 2>&-' "$kestrava" >/dev/null 2>&1
lab_check "stderr closed: no socket is descriptor 2" \
  test -z "$(grep -E 'socket\(AF_INET.*= 2$' "$work/closed.trace")"
lab_check "stderr closed: the sockets were seen" grep -qE 'socket\(AF_INET.*= [0-9]+$' "$work/closed.trace"

# Out of descriptors the interface list cannot be read: that is said, and nothing is sent to a
# guessed destination. Every socket the program asks for fails as a process out of descriptors
# sees it (strace's fault injection), the interface list's netlink socket first.
ip -n "$sender_ns" link set eth0 up
wrap=(strace -f -qq -o /dev/null -e trace=socket -e inject=socket:error=EMFILE)
run_send nofiles sender /IP=192.0.2.20 /MAC=02:00:5e:00:02:14
wrap=()

lab_check "no descriptors: nothing sent" lab_equals "$(datagrams nofiles)" 0
lab_check "no descriptors: the failed query on standard error" lab_equals "$(cat "$work/nofiles.err")" \
  "SIO_GET_INTERFACE_LIST err: No more file descriptors available"
lab_check "no descriptors: exit status 1" status_is nofiles 1

lab_finish
