#!/usr/bin/env bash
# Lab: kestrava's send options on two LANs, with the sender on both (lan0 192.0.2.10, lan1
# 198.51.100.10) and no default route, so that /Interface must choose: each /Kind, /Port=9, /To
# unicast, the limited broadcast (through /Interface's or IP='s interface, from a hosts file too),
# /Interface pinning a unicast to the other LAN's subnet, ff02::1%lan0, /Count=5 with sequence
# numbers 1..5, /Ether seen as EtherType 0x0842 (and its clear line without CAP_NET_RAW), /File
# with three hosts on two LANs and one bad line, and the exit statuses 255, 1 and 2.
# Usage: send_options.sh KESTRAVA UDP_CAPTURE
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

kestrava=${1:?kestrava program}
capture=${2:?udp_capture program}
lab_require "$kestrava" "$capture" dumpcap tshark setpriv

work=$(mktemp -d)
captures=()
wires=()
trap 'lab_stop "${captures[@]}" "${wires[@]}"; rm -rf "$work"; lab_cleanup' EXIT

a_mac=02:54:57:00:0a:14
b_mac=02:54:57:00:0b:14
c_mac=02:54:57:00:0a:1e
lan0_mac=02:54:57:00:0a:0a
lan1_mac=02:54:57:00:0b:0a
lab_switch lana || lab_fail_or_skip "cannot create the switches"
lab_switch lanb || lab_fail_or_skip "cannot create the switches"
lab_host sender lana 192.0.2.10/24 "$lan0_mac" || lab_fail_or_skip "cannot create the sender"
lab_host sender lanb 198.51.100.10/24 "$lan1_mac" || lab_fail_or_skip "cannot create the sender"
lab_host a lana 192.0.2.20/24 "$a_mac" || lab_fail_or_skip "cannot create host a"
lab_host c lana 192.0.2.30/24 "$c_mac" || lab_fail_or_skip "cannot create host c"
lab_host b lanb 198.51.100.20/24 "$b_mac" || lab_fail_or_skip "cannot create host b"
# The sender's interfaces get the names the options use, and link-local addresses usable at
# once (no duplicate address detection), so that ff02::1%lan0 has a source.
sender_ns=$(lab_ns sender)
for i in 0 1; do
  ip -n "$sender_ns" link set "eth$i" down
  ip -n "$sender_ns" link set "eth$i" name "lan$i"
  ip netns exec "$sender_ns" sysctl -qw "net.ipv6.conf.lan$i.accept_dad=0"
  ip -n "$sender_ns" link set "lan$i" up
done

# The wake body for a MAC (lower-case hex), and the header of a datagram of a tag, a length
# and a sequence number.
body() {
  local mac=${1//:/} out=ffffffffffff
  for _ in $(seq 16); do out+=$mac; done
  echo "$out"
}
header() {
  printf '%s' "$1" | od -An -tx1 | tr -d ' \n'
  printf '%02x%02x0000%02x000000' $(($2 & 255)) $(($2 >> 8)) "$3"
}

# listen NAME HOST PORT [ipv6]: udp_capture in HOST for 3 s, its lines in $work/NAME.cap.
listen() {
  local name=$1 host=$2; shift 2
  lab_exec "$host" "$capture" "$1" 3 ${2:+"$2"} >"$work/$name.cap" &
  captures+=($!)
  lab_wait_for 5 grep -q '^ready$' "$work/$name.cap" || echo "capture $name did not start" >&2
}
# send NAME ARGS...: kestrava on the sender without a display; then the captures end.
# Leaves $work/NAME.out, .err, .status.
wrap=()
send() {
  local name=$1; shift
  lab_exec sender env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 "${wrap[@]}" "$kestrava" "$@" \
    >"$work/$name.out" 2>"$work/$name.err"
  echo $? >"$work/$name.status"
  local pid
  for pid in "${captures[@]}"; do wait "$pid"; done
  captures=()
}
# The datagrams a capture saw, one "FROM TO LEN HEX" line each.
seen() { grep '^from ' "$work/$1.cap" | cut -d' ' -f2,4,6,7; }
status_is() { lab_equals "$(cat "$work/$1.status")" "$2"; }
# All went out: exit status 255 and nothing on standard error (else its lines show why not).
all_sent() { lab_equals "$(cat "$work/$1.err"; echo "exit $(cat "$work/$1.status")")" "exit 255"; }
# wire SWITCH: dumpcap on the switch's bridge, keeping the ARP requests and port-1778 datagrams
# the sender puts on that LAN; on_wire SWITCH then lists them, "ARP who-has A" or "UDP to A".
wire() {
  lab_exec "$1" dumpcap -q -i br0 -a duration:30 -w "$work/$1.pcapng" \
    -f "(ether src $lan0_mac or ether src $lan1_mac) and (arp or udp port 1778)" \
    >"$work/$1.dumpcap" 2>&1 &
  wires+=($!)
  lab_wait_for 10 grep -q 'Capturing on' "$work/$1.dumpcap" || echo "capture on $1 did not start" >&2
}
on_wire() {
  tshark -r "$work/$1.pcapng" -T fields -e arp.dst.proto_ipv4 -e ip.dst 2>/dev/null |
    awk -F'\t' '{ print $1 != "" ? "ARP who-has " $1 : "UDP to " $2 }' | sort -u
}

# Each kind through lan1 to b: the broadcast to b's subnet, the other two to b itself.
kind=1
for row in "KESTRAVA 118 198.51.100.255" "KESTRAV2 28 198.51.100.20" "KESTRAV4 120 198.51.100.20"; do
  read -r tag length to <<<"$row"
  listen kind$kind b 1778
  send kind$kind /IP=198.51.100.20 "/MAC=$b_mac" /Kind=$kind /Interface=lan1
  case $kind in
    1) payload=$(body "$b_mac") ;;
    2) payload=ffffffffffff${b_mac//:/} ;;
    4) payload=$(body "$b_mac")0000 ;;
  esac
  lab_check "/Kind=$kind: one $length-byte $tag datagram to $to" lab_equals "$(seen kind$kind)" \
    "198.51.100.10 $to $length $(header "$tag" "$length" 0)$payload"
  lab_check "/Kind=$kind: exit status 255" status_is kind$kind 255
  kind=$((kind * 2))
done

# The limited broadcast leaves through one interface and only there (the sender has no default
# route): /Interface's, by name or by address, else the one whose subnet holds IP=.
for row in "/Interface=lan0|a b 192.0.2.10" "/Interface=198.51.100.10|b a 198.51.100.10" \
           "/IP=192.0.2.20|a b 192.0.2.10" "/IP=198.51.100.20|b a 198.51.100.10" \
           "/IP=192.0.2.20 /Interface=lan1|b a 198.51.100.10"; do
  options=${row%|*}
  read -r near far from <<<"${row#*|}"
  listen near "$near" 1778
  listen far "$far" 1778
  # shellcheck disable=SC2086 # the row's options are separate words
  send limited "/MAC=$a_mac" /To=255.255.255.255 $options
  lab_check "/To=255.255.255.255 $options: seen on $near's LAN, from $from" lab_equals \
    "$(seen near | cut -d' ' -f1-3)" "$from 255.255.255.255 118"
  lab_check "/To=255.255.255.255 $options: not on the other LAN" lab_equals "$(seen far)" ""
  lab_check "/To=255.255.255.255 $options: all sent" all_sent limited
done

# A hosts file to the limited broadcast: each host through the interface of its subnet, the one
# without an address through the interface whose netmask the broadcast uses (lan0).
printf '%s\n' "$a_mac 192.0.2.20" "$b_mac 198.51.100.20" "$c_mac" >"$work/limited.txt"
listen limited_a a 1778
listen limited_b b 1778
send limited_file "/File=$work/limited.txt" /To=255.255.255.255
lab_check "/File /To=255.255.255.255: a and c on lan0" lab_equals "$(seen limited_a)" \
  "192.0.2.10 255.255.255.255 118 $(header KESTRAVA 118 0)$(body "$a_mac")
192.0.2.10 255.255.255.255 118 $(header KESTRAVA 118 0)$(body "$c_mac")"
lab_check "/File /To=255.255.255.255: b on lan1" lab_equals "$(seen limited_b)" \
  "198.51.100.10 255.255.255.255 118 $(header KESTRAVA 118 0)$(body "$b_mac")"
lab_check "/File /To=255.255.255.255: all sent" all_sent limited_file

# /Interface pins the way out for a unicast too: to the other LAN's subnet it leaves on lan0 (its
# ARP request at least, since no host there has the address) and nothing of it reaches lan1.
wire lana
wire lanb
send pinned "/MAC=$a_mac" /To=198.51.100.20 /Interface=lan0
sleep 1
lab_stop "${wires[@]}"
wires=()
lab_check "/To=198.51.100.20 /Interface=lan0: leaves on lan0" lab_equals "$(on_wire lana)" \
  "ARP who-has 198.51.100.20"
lab_check "/To=198.51.100.20 /Interface=lan0: nothing on lan1" lab_equals "$(on_wire lanb)" ""
lab_check "/To=198.51.100.20 /Interface=lan0: all sent" all_sent pinned

listen port9 a 9
listen port1778 a 1778
send port9 /IP=192.0.2.20 "/MAC=$a_mac" /Port=9
lab_check "/Port=9: arrives on port 9 of the target" lab_equals "$(seen port9 | cut -d' ' -f1-3)" \
  "192.0.2.10 192.0.2.255 118"
lab_check "/Port=9: nothing on port 1778" lab_equals "$(seen port1778)" ""

listen unicast a 1778
listen unicast_c c 1778
send unicast "/MAC=$a_mac" /To=192.0.2.20 /nohdr
lab_check "/To=192.0.2.20: the magic packet to the target alone" lab_equals "$(seen unicast)" \
  "192.0.2.10 192.0.2.20 102 $(body "$a_mac")"
lab_check "/To=192.0.2.20: not to its neighbour" lab_equals "$(seen unicast_c)" ""

listen v6 a 1778 ipv6
listen v6_b b 1778 ipv6
send v6 "/MAC=$a_mac" /To=ff02::1%lan0 /Verbose
sender_ll=$(lab_exec sender ip -6 -o addr show dev lan0 scope link | awk '{print $4}' | cut -d/ -f1)
lab_check "/To=ff02::1%lan0: the link's nodes get it from lan0's link-local address" lab_equals \
  "$(seen v6 | cut -d' ' -f1-3)" "$sender_ll ff02::1 118"
lab_check "/To=ff02::1%lan0: not sent on lan1" lab_equals "$(seen v6_b)" ""
lab_check "/To=ff02::1%lan0 /Verbose: its line" lab_equals "$(cat "$work/v6.out")" \
  "ff02::1%lan0 port 1778: broadcast magic packet, 118 bytes, sequence -, from $sender_ll%lan0 on lan0 for 02:54:57:00:0A:14"

listen count a 1778
send count /IP=192.0.2.20 "/MAC=$a_mac" /Count=5 /Interval=50 /Verbose
expected=""
for n in 1 2 3 4 5; do expected+="192.0.2.10 192.0.2.255 118 $(header KESTRAVA 118 $n)$(body "$a_mac")"$'\n'; done
lab_check "/Count=5: five datagrams numbered 1 to 5" lab_equals "$(seen count)" "${expected%$'\n'}"
lab_check "/Count=5 /Verbose: one line each" lab_equals "$(sed -n '3p' "$work/count.out")" \
  "192.0.2.255 port 1778: broadcast magic packet, 118 bytes, sequence 3, from 192.0.2.10 on lan0 for 02:54:57:00:0A:14"

# The raw frame, captured on a with its Ethernet header.
lab_exec a dumpcap -q -i eth0 -f 'ether proto 0x0842' -c 1 -a duration:10 -w "$work/ether.pcapng" \
  >"$work/dumpcap.out" 2>&1 &
dumpcap_pid=$!
lab_wait_for 10 grep -q 'Capturing on' "$work/dumpcap.out"
send ether /IP=192.0.2.20 "/MAC=$a_mac" /Ether /Password=01-02-03-04-05-06
wait "$dumpcap_pid"
frame=$(tshark -r "$work/ether.pcapng" --disable-protocol wol -T fields -e eth.dst -e eth.src -e eth.type \
  -e data.data 2>/dev/null | head -1 | tr -d ':')
lab_check "/Ether: one frame of EtherType 0x0842 from lan0 to the Ethernet broadcast" lab_equals \
  "$(cut -f1-3 <<<"$frame")" $'ffffffffffff\t025457000a0a\t0x0842'
lab_check "/Ether: the magic packet and the password" lab_equals "$(cut -f4 <<<"$frame")" \
  "$(body "$a_mac")010203040506"
lab_check "/Ether: exit status 255" status_is ether 255

wrap=(setpriv --inh-caps=-net_raw --bounding-set=-net_raw)
send ether_nocap /IP=192.0.2.20 "/MAC=$a_mac" /Ether
wrap=()
lab_check "/Ether without CAP_NET_RAW: one clear line" lab_equals "$(cat "$work/ether_nocap.err")" \
  "kestrava: /Ether needs the CAP_NET_RAW capability to send raw Ethernet frames: run it as root, or grant it with setcap cap_net_raw+ep"
lab_check "/Ether without CAP_NET_RAW: exit status 1" status_is ether_nocap 1

# Three hosts on two LANs and one bad line; c has no address and gets lan0's broadcast.
cat >"$work/hosts.txt" <<EOF
# the lab's hosts
$a_mac 192.0.2.20 a
${b_mac//:/-} 198.51.100.20   # b, on the other LAN
02:54:57:00:0a:zz 192.0.2.40 typo
$c_mac c
EOF
listen file_a a 1778
listen file_b b 1778
send file "/File=$work/hosts.txt"
lab_check "/File: a and c on lan0's broadcast" lab_equals "$(seen file_a)" \
  "192.0.2.10 192.0.2.255 118 $(header KESTRAVA 118 0)$(body "$a_mac")
192.0.2.10 192.0.2.255 118 $(header KESTRAVA 118 0)$(body "$c_mac")"
lab_check "/File: b on lan1's broadcast" lab_equals "$(seen file_b | cut -d' ' -f1-3)" "198.51.100.10 198.51.100.255 118"
lab_check "/File: the bad line with its number" lab_equals "$(cat "$work/file.err")" \
  "kestrava: $work/hosts.txt:4: not a MAC address: 02:54:57:00:0a:zz"
lab_check "/File: exit status 1, since one host was not sent" status_is file 1

# A link-local address without its interface is refused before anything leaves.
send noscope "/MAC=$a_mac" /To=fe80::54:57ff:fe00:a14
lab_check "/To=fe80::... without a scope: one line naming the option" lab_equals "$(cat "$work/noscope.err")" \
  "kestrava: /To=fe80::54:57ff:fe00:a14: a link-local or multicast IPv6 address needs its interface after a %, such as fe80::1%eth0 (or /Interface=)"
lab_check "/To=fe80::... without a scope: exit status 2, the refusal before any send" status_is noscope 2

# A send that fails: no route to the documentation prefix. A value that cannot be read: nothing sent.
send noroute "/MAC=$a_mac" /To=2001:db8::99
lab_check "no route: the failure on standard error" lab_equals "$(cat "$work/noroute.err")" \
  "SendMagic err: The network can't be reached from this hos at this time"
lab_check "no route: exit status 1" status_is noroute 1
listen bad a 1778
send bad /IP=192.0.2.20 "/MAC=$a_mac" /Count=3 /Kind=3
lab_check "/Kind=3: one line naming the option and the value" lab_equals "$(cat "$work/bad.err")" \
  "kestrava: /Kind=3: the kind is 1 (broadcast magic packet), 2 (short unsuspend datagram) or 4 (direct magic packet)"
lab_check "/Kind=3: exit status 2" status_is bad 2
lab_check "/Kind=3: nothing sent" lab_equals "$(seen bad)" ""

lab_finish
