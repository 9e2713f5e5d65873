#!/usr/bin/env bash
# The demo: on a two-host virtual LAN, kestrava's silent send wakes the target and pilvorne,
# listening on the target, prints the packet. Usage: scripts/demo.sh [BUILD_DIR]
set -u
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-build/demo}
case "$BUILD" in /*) ;; *) BUILD="$ROOT/$BUILD" ;; esac
PILVORNE="$BUILD/listener/pilvorne"
KESTRAVA="$BUILD/sender/kestrava"

say() { printf '%s\n' "$*"; }
cannot_run() {
  say "demo: cannot run: $1" >&2
  say "demo: $2" >&2
  exit 1
}

if [ ! -x "$PILVORNE" ] || [ ! -x "$KESTRAVA" ]; then
  if [ -f "$BUILD/CMakeCache.txt" ]; then
    cmake --build "$BUILD" --target pilvorne kestrava ||
      cannot_run "the build failed" "see the messages above"
  else
    cannot_run "no build in $BUILD" "build and run it with: make demo"
  fi
fi

# The lab is made of network namespaces: that needs root and iproute2.
[ "$(id -u)" -eq 0 ] ||
  cannot_run "the virtual LAN is made of network namespaces, which need root" \
    "run it as root (make demo), or with sudo (sudo make demo)"
command -v ip >/dev/null 2>&1 ||
  cannot_run "ip (iproute2) is not installed" "install it (apt-get install iproute2), then: make demo"
probe="twdemo$$"
ip netns add "$probe" 2>/dev/null ||
  cannot_run "this system does not allow network namespaces here (a container without CAP_SYS_ADMIN?)" \
    "run it as root on a host or VM that allows 'ip netns add', or in a privileged container: make demo"
ip netns del "$probe"

source "$ROOT/tests/lab/lib.sh"
lab_require

SENDER_IP=192.0.2.10
SENDER_MAC=02:54:57:00:00:0a
TARGET_IP=192.0.2.20
TARGET_MAC=02:54:57:00:00:14
OUT=$(mktemp)
LISTENER_PID=
cleanup() {
  if [ -n "$LISTENER_PID" ]; then
    kill "$LISTENER_PID" 2>/dev/null
    wait "$LISTENER_PID" 2>/dev/null
  fi
  rm -f "$OUT"
  lab_cleanup
}
trap cleanup EXIT

say "== Tidewake demo: wake a host on a virtual LAN and watch the packet arrive =="
say "lab: a switch and two hosts in network namespaces (removed again when the demo ends)"
say "     sender  $SENDER_IP/24  $SENDER_MAC"
say "     target  $TARGET_IP/24  $TARGET_MAC"
lab_switch lan &&
  lab_host sender lan "$SENDER_IP/24" "$SENDER_MAC" &&
  lab_host target lan "$TARGET_IP/24" "$TARGET_MAC" ||
  cannot_run "the virtual LAN could not be built" "see the messages above"
say

say "target\$ pilvorne -Version"
lab_exec target "$PILVORNE" -Version >"$OUT" 2>&1 &
LISTENER_PID=$!
if ! lab_wait_for 5 grep -q "^Listening for magic packets" "$OUT"; then
  cat "$OUT"
  cannot_run "pilvorne did not start on the target" "see its output above"
fi
sed 's/^/  /' "$OUT"
lines=$(wc -l <"$OUT")
say

say "sender\$ kestrava /IP=$TARGET_IP /MAC=$TARGET_MAC"
say "  (silent send: one broadcast magic packet to $TARGET_IP's subnet, 192.0.2.255, port 1778)"
lab_exec sender "$KESTRAVA" "/IP=$TARGET_IP" "/MAC=$TARGET_MAC"
say "  kestrava exit status: $? (-1 after a silent send)"
say

say "target: pilvorne prints"
lab_wait_for 5 test "$(wc -l <"$OUT")" -ge $((lines + 2))
entries=$(tail -n +$((lines + 1)) "$OUT")
if [ -z "$entries" ]; then
  say "  (nothing)"
  say
  say "== failed: nothing arrived at the target within 5 seconds ==" >&2
  exit 1
fi
printf '%s\n' "$entries" | sed 's/^/  /'
say

# The wake arrived when one of pilvorne's entry lines carries the MAC that was sent and names
# the sender's address. The MAC is compared in pilvorne's upper-case form.
sent_mac=$(printf '%s' "$TARGET_MAC" | tr 'a-f' 'A-F')
if printf '%s\n' "$entries" | grep -qF -- "- $sent_mac from $SENDER_IP (len="; then
  say "== done: the wake arrived: pilvorne on the target saw MAC $sent_mac from $SENDER_IP =="
  exit 0
fi
seen=$(printf '%s\n' "$entries" | sed -n 's/^ *\(.*[^ ]\) *- \([0-9A-F:]*\) from \([0-9.]*\) (len=\([0-9]*\))$/\1, MAC \2 from \3, \4 bytes/p')
say "== failed: expected MAC $sent_mac from $SENDER_IP; pilvorne saw instead: ==" >&2
printf '%s\n' "${seen:-$entries}" | sed 's/^/   /' >&2
exit 1
