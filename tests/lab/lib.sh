#!/usr/bin/env bash
# The test lab: a virtual LAN of network namespaces joined by veth pairs on a bridge.
# Source it, call lab_require, then lab_switch / lab_host / lab_router; lab_cleanup runs on exit.
# Every name carries this shell's PID, so several labs can run side by side.

LAB_ID="tw$$"
LAB_NAMESPACES=()
LAB_SKIP=77

# Exits with 77 (skipped) when the lab cannot be built, or 1 under CI=true, where a lab
# test that cannot run is a failure.
lab_fail_or_skip() {
  echo "lab: cannot run: $*" >&2
  if [ "${CI:-}" = "true" ]; then
    echo "lab: CI=true, so this is a failure" >&2
    exit 1
  fi
  echo "lab: skipped (run as root with iproute2 to include it)" >&2
  exit "$LAB_SKIP"
}

lab_require() {
  [ "$(id -u)" -eq 0 ] || lab_fail_or_skip "network namespaces need root"
  command -v ip >/dev/null 2>&1 || lab_fail_or_skip "ip (iproute2) is not installed"
  local probe="${LAB_ID}probe"
  ip netns add "$probe" 2>/dev/null || lab_fail_or_skip "ip netns add is not permitted here"
  ip netns del "$probe"
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 || [ -x "$tool" ] || lab_fail_or_skip "$tool is not installed"
  done
  trap lab_cleanup EXIT
  trap 'exit 130' INT TERM
}

lab_ns() { echo "${LAB_ID}$1"; }

lab_cleanup() {
  local ns
  for ns in "${LAB_NAMESPACES[@]}"; do
    # Processes still running inside a namespace would keep it alive: end them first.
    local pids
    pids=$(ip netns pids "$ns" 2>/dev/null)
    [ -n "$pids" ] && kill -9 $pids 2>/dev/null
    ip netns del "$ns" 2>/dev/null
  done
  LAB_NAMESPACES=()
}

lab_add_ns() {
  local ns; ns=$(lab_ns "$1")
  ip netns add "$ns" || return 1
  LAB_NAMESPACES+=("$ns")
  ip -n "$ns" link set lo up
}

# lab_switch NAME: a namespace holding one bridge, "br0".
lab_switch() {
  lab_add_ns "$1" || return 1
  local ns; ns=$(lab_ns "$1")
  ip -n "$ns" link add br0 type bridge
  ip -n "$ns" link set br0 up
}

# lab_host HOST SWITCH ADDRESS/PREFIX MAC [GATEWAY]: a host namespace whose eth0 is plugged
# into the switch. Creates the namespace when it does not exist yet; a second call for the
# same host adds another interface (eth1, ...).
lab_host() {
  local host=$1 switch=$2 cidr=$3 mac=$4 gateway=${5:-}
  local ns sw; ns=$(lab_ns "$host"); sw=$(lab_ns "$switch")
  ip netns list | grep -qw "^$ns" || lab_add_ns "$host" || return 1
  local index; index=$(ip -n "$ns" -o link show | grep -c ': eth')
  local dev="eth$index" tmp="${LAB_ID}t$RANDOM" peer="${host}${index}"
  ip link add "$tmp" type veth peer name "${tmp}p" || return 1
  ip link set "$tmp" netns "$ns"
  ip -n "$ns" link set "$tmp" name "$dev"
  ip link set "${tmp}p" netns "$sw"
  ip -n "$sw" link set "${tmp}p" name "$peer"
  ip -n "$sw" link set "$peer" master br0 up
  ip -n "$ns" link set "$dev" address "$mac"
  ip -n "$ns" addr add "$cidr" dev "$dev"
  ip -n "$ns" link set "$dev" up
  if [ -n "$gateway" ]; then ip -n "$ns" route add default via "$gateway"; fi
}

# lab_router HOST: lets a host forward IPv4 between its interfaces.
lab_router() {
  ip netns exec "$(lab_ns "$1")" sysctl -qw net.ipv4.ip_forward=1
}

# lab_windows_programs BUILD_DIR: pilvorne_exe and kestrava_exe of the Windows cross build,
# skipped when no build is named or the programs are not built.
lab_windows_programs() {
  [ -n "$1" ] ||
    lab_fail_or_skip "no Windows build named (configure with -DTIDEWAKE_WINDOWS_BUILD_DIR=..., as make test does)"
  pilvorne_exe=$1/listener/pilvorne.exe
  kestrava_exe=$1/sender/kestrava.exe
  local exe
  for exe in "$pilvorne_exe" "$kestrava_exe"; do
    [ -f "$exe" ] || lab_fail_or_skip "$exe is not built (make windows)"
  done
}

# lab_wine HOST DIR: a Wine prefix of the lab's own in DIR, its server started inside HOST's
# namespace: Wine opens sockets in its server, so no server of another prefix may serve the lab.
# Skipped when Wine cannot start a program there. End the server with lab_exec HOST wineserver -k.
lab_wine() {
  export WINEPREFIX=$2/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
  unset DISPLAY
  mkdir -p "$WINEPREFIX"
  lab_exec "$1" wineserver -p >/dev/null 2>&1 </dev/null
  lab_exec "$1" wine cmd /c exit >/dev/null 2>&1 </dev/null || lab_fail_or_skip "wine cannot start a program"
}

# lab_exec HOST COMMAND...: runs a command inside a host.
lab_exec() {
  local host=$1; shift
  ip netns exec "$(lab_ns "$host")" "$@"
}

# lab_stop PID...: ends background processes this shell started and reaps them (empty ones skipped).
lab_stop() {
  local pid
  for pid in "$@"; do
    [ -n "$pid" ] || continue
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
}

# lab_sleeper SIMULATOR HOST OUT OPTIONS...: the sleeping-host simulator (tests/lab/sleeping_host)
# on HOST's eth0 for at most 60 s, its lines in OUT; true once it says it is set up (asleep or
# awake). Its PID is in LAB_SLEEPER_PID, for lab_stop: `ip netns exec` runs it in its own
# process, so that $! is the simulator itself.
lab_sleeper() {
  local simulator=$1 host=$2 out=$3; shift 3
  : >"$out"
  ip netns exec "$(lab_ns "$host")" "$simulator" eth0 --limit 60 "$@" >"$out" 2>&1 &
  LAB_SLEEPER_PID=$!
  lab_wait_for 5 grep -qE ' (asleep|awake)$' "$out"
}

# lab_wait_for SECONDS COMMAND...: retries a command every 0.1 s until it succeeds.
lab_wait_for() {
  local limit=$1; shift
  local tries=$((limit * 10)) i
  for ((i = 0; i < tries; i++)); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

# lab_expect_entry OUTPUT N LABEL LENGTH MAC SENDER: waits until pilvorne's OUTPUT (its start-up
# line, then two lines per datagram) holds datagram N, and checks that entry's second line.
lab_expect_entry() {
  local out=$1 n=$2 line
  line=$(printf '   %-28.28s - %s from %s (len=%d)' "$3" "$5" "$6" "$4")
  lab_wait_for 5 test "$(wc -l <"$out")" -ge $((1 + 2 * n))
  [ "$(sed -n "$((1 + 2 * n))p" "$out")" = "$line" ] && return 0
  echo "expected entry $n: $line" >&2
  echo "got:                $(sed -n "$((1 + 2 * n))p" "$out")" >&2
  return 1
}

# What the dynamic loader mapped into a program run with LD_DEBUG=files LD_DEBUG_OUTPUT=PREFIX
# (it writes PREFIX.PID): lab_mapped lists the objects; lab_maps_gtk PREFIX holds when kestrava's
# GTK module or GTK is among them; lab_maps_no_gtk PREFIX when the list was written (it holds
# the C library) and nothing of GTK is in it.
lab_mapped() { cat "$1".* 2>/dev/null | grep 'generating link map' | sed 's/.*file=\([^ ]*\).*/\1/'; }
lab_maps_gtk() { lab_mapped "$1" | grep -qE 'kestrava-gtk\.so|libgtk-3\.so|libgdk-3\.so'; }
lab_maps_no_gtk() { lab_mapped "$1" | grep -q 'libc\.so' && ! lab_maps_gtk "$1"; }

# Assertions that count failures; lab_finish reports and sets the exit status.
LAB_FAILURES=0
LAB_CHECKS=0
lab_check() {
  local what=$1; shift
  LAB_CHECKS=$((LAB_CHECKS + 1))
  if "$@"; then
    echo "ok: $what"
  else
    echo "FAILED: $what" >&2
    LAB_FAILURES=$((LAB_FAILURES + 1))
  fi
}
# lab_equals GOT EXPECTED: true when equal; otherwise shows both (for lab_check).
lab_equals() {
  [ "$1" = "$2" ] && return 0
  printf '  got:\n%s\n  expected:\n%s\n' "$1" "$2" >&2
  return 1
}
lab_finish() {
  echo "$((LAB_CHECKS - LAB_FAILURES)) passed, $LAB_FAILURES failed"
  [ "$LAB_FAILURES" -eq 0 ]
}
