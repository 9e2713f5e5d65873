#!/usr/bin/env bash
# Whole-process comparison on the lab LAN: kestrava, pilvorne and the log writer against C floor programs and Debian's peers.
# Every measure is a median of interleaved rounds, taken with public tools: perf stat (wall time),
# /usr/bin/time (peak RSS), strace -c (system calls), LD_DEBUG=files (shared objects mapped).
# Usage (as root): bench/compare.sh BUILD_DIR [ROUNDS]
#   BEFORE=OTHER_BUILD_DIR adds that build's kestrava and pilvorne to every round, as a column.
#   CAPTURES=DIR keeps the generated capture files there (default BUILD_DIR/bench/captures);
#   READ_ROUNDS, LISTENER_ROUNDS, LOG_ROUNDS set the rounds of those parts.
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../tests/lab/lib.sh
source "$here/../tests/lab/lib.sh"

build=$(realpath "${1:?build directory}")
rounds=${2:-15}
before=${BEFORE:+$(realpath "$BEFORE")}
kestrava=$build/sender/kestrava
pilvorne=$build/listener/pilvorne
floors=$build/bench
lab_require "$kestrava" "$pilvorne" "$floors/floor_send" "$floors/floor_send_file" "$floors/floor_listen" \
  "$floors/floor_log" "$floors/udp_blast" "$floors/bench_log_writer" perf strace wakeonlan ping pgrep \
  /usr/bin/time tcpdump tshark python3 timeout
work=$(mktemp -d)
listener=
# shellcheck disable=SC2086
trap 'lab_stop $listener; rm -rf "$work"; lab_cleanup' EXIT

sender_ip=192.0.2.10
target_ip=192.0.2.20
broadcast=192.0.2.255
target_mac=02:54:57:00:00:14
lab_switch lan || lab_fail_or_skip "cannot create the switch"
lab_host sender lan $sender_ip/24 02:54:57:00:00:0a || lab_fail_or_skip "cannot create the sender"
lab_host target lan $target_ip/24 $target_mac || lab_fail_or_skip "cannot create the target"
lab_wait_for 5 lab_exec sender ping -c1 -W1 $target_ip || lab_fail_or_skip "the lab LAN does not come up"

# The hosts file of the hosts-file send: 1000 hosts on the lab LAN, three in four with an address
# there (not every one in use) and a name, the rest without an address; every datagram goes to
# the LAN's broadcast address. wakeonlan reads its own form of the same list (MAC only; the
# address and port come from its command line).
file_hosts=1000
hosts=$work/hosts.txt
wol_hosts=$work/wakeonlan-hosts.txt
for ((i = 0; i < file_hosts; i++)); do
  mac=$(printf '02:54:57:01:%02x:%02x' $((i / 256)) $((i % 256)))
  if ((i % 4 == 3)); then echo "$mac"; else echo "$mac 192.0.2.$((30 + i % 200)) host$i"; fi
done >"$hosts"
cut -d' ' -f1 "$hosts" >"$wol_hosts"

# The captures pilvorne -Read reads, made once by bench/make_capture.py (the same seed, the same
# files) and kept for later runs; each has a FILE.txt of what it holds. Their names carry the
# generator's checksum, so that a changed generator makes new ones.
captures=${CAPTURES:-$build/bench/captures}
mkdir -p "$captures" || lab_fail_or_skip "cannot make $captures"
capture_seed=1
generator=$(sha256sum "$here/make_capture.py" | cut -c1-8)
# capture FRAMES: the path of that capture, made when it is missing.
capture() {
  local file=$captures/mixed-$1-seed$capture_seed-$generator.pcap
  if [ ! -s "$file" ] || [ ! -s "$file.txt" ]; then
    echo "bench: generating $file" >&2
    timeout 600 python3 "$here/make_capture.py" "$1" "$file" $capture_seed || lab_fail_or_skip "cannot generate $file"
  fi
  echo "$file"
}
capture_1m=$(capture 1000000) || exit
capture_100k=$(capture 100000) || exit
# capture_fact FILE NAME: one count of what the generator wrote.
capture_fact() { awk -v name="$2" '$1 == name { print $2 }' "$1.txt"; }

# ---- single measures of one run; each appends one number to $work/LABEL.MEASURE

# wall HOST LABEL COMMAND...: elapsed milliseconds of one run, under perf stat, and beside them
# (LABEL.task) its CPU time, which other load on the machine changes less.
wall() {
  local host=$1 label=$2; shift 2
  lab_exec "$host" perf stat -e task-clock -o "$work/perf.out" -- "$@" >/dev/null 2>&1 </dev/null
  awk '/seconds time elapsed/ { printf "%.3f\n", $1 * 1000 }' "$work/perf.out" >>"$work/$label.wall"
  awk '/task-clock/ { gsub(",", "", $1); printf "%.3f\n", $1 }' "$work/perf.out" >>"$work/$label.task"
}

# rss HOST LABEL COMMAND...: peak resident set of one run, KiB (time's last line; a non-zero
# exit status is reported on the line before).
rss() {
  local host=$1 label=$2; shift 2
  lab_exec "$host" /usr/bin/time -f %M -o "$work/time.out" "$@" >/dev/null 2>&1 </dev/null
  tail -n1 "$work/time.out" >>"$work/$label.rss"
}

# objects HOST LABEL COMMAND...: shared objects the dynamic loader maps, the loader included.
objects() {
  local host=$1 label=$2; shift 2
  rm -f "$work"/ld.*
  lab_exec "$host" env LD_DEBUG=files LD_DEBUG_OUTPUT="$work/ld" "$@" >/dev/null 2>&1 </dev/null
  echo $(($(cat "$work"/ld.* | grep -c 'generating link map') + 1)) >>"$work/$label.objects"
}

# calls HOST LABEL COMMAND...: system calls of one run, its children included.
calls() {
  local host=$1 label=$2; shift 2
  lab_exec "$host" strace -f -c -o "$work/strace.out" "$@" >/dev/null 2>&1 </dev/null
  awk '$NF == "total" { print $4 }' "$work/strace.out" >>"$work/$label.calls"
}

median() { sort -g "$1" | awk '{ v[NR] = $1 } END { if (NR == 0) print "nan"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b == 0) print "-"; else printf "%.2f×\n", a / b }'; }
fmt() { awk -v v="$1" -v s="$2" -v d="${3:-1}" 'BEGIN { printf "%.*f %s\n", d, v * s, "" }' | sed 's/ $//'; }

# ---- the silent send and its peers, interleaved round by round

# name|host|command: the programs of the start-up rounds.
runs=(
  "floor_send|sender|$floors/floor_send $broadcast 1778"
  "kestrava|sender|$kestrava /IP=$target_ip /MAC=$target_mac"
  "wakeonlan|sender|wakeonlan -i $broadcast -p 1778 $target_mac"
  "ping|sender|ping -c 1 -W 1 $target_ip"
  "floor_usage|sender|$floors/floor_send"
  "no_display|sender|env -u DISPLAY -u WAYLAND_DISPLAY $kestrava"
  "floor_send_file|sender|$floors/floor_send_file $broadcast 1778 $hosts"
  "file_kestrava|sender|$kestrava /File=$hosts"
  "file_wakeonlan|sender|wakeonlan -i $broadcast -p 1778 -f $wol_hosts"
)
if [ -n "$before" ]; then
  runs+=("before_kestrava|sender|$before/sender/kestrava /IP=$target_ip /MAC=$target_mac"
         "before_no_display|sender|env -u DISPLAY -u WAYLAND_DISPLAY $before/sender/kestrava"
         "before_file_kestrava|sender|$before/sender/kestrava /File=$hosts")
fi

# interleave ROUNDS MEASURES ENTRY...: ROUNDS rounds of the "name|host|command" entries, each
# round starting at another one, so that no program always follows the same one. Every run's
# wall and CPU time; with MEASURES "all" also its peak RSS, and in the first round the shared
# objects it maps and its system calls.
interleave() {
  local count=$1 measures=$2; shift 2
  local entries=("$@") round i name host command argv
  for ((round = 0; round < count; round++)); do
    for ((i = 0; i < ${#entries[@]}; i++)); do
      IFS='|' read -r name host command <<<"${entries[$(((i + round) % ${#entries[@]}))]}"
      read -ra argv <<<"$command"
      wall "$host" "$name" "${argv[@]}"
      [ "$measures" = all ] || continue
      rss "$host" "$name" "${argv[@]}"
      if [ "$round" -eq 0 ]; then
        objects "$host" "$name" "${argv[@]}"
        calls "$host" "$name" "${argv[@]}"
      fi
    done
  done
}
echo "bench: $rounds interleaved rounds of ${#runs[@]} programs" >&2
interleave "$rounds" all "${runs[@]}"

# ---- reading captures: pilvorne -Read against tcpdump with pilvorne's own kernel filter (without
# its VLAN part) writing to /dev/null, and against tshark's wake filter; output to /dev/null.
reads=(
  "read_1m|sender|$pilvorne -Read=$capture_1m"
  "tcpdump_1m|sender|tcpdump -r $capture_1m -w /dev/null udp or ether proto 0x0842"
  "read_100k|sender|$pilvorne -Read=$capture_100k"
  "tshark_100k|sender|tshark -r $capture_100k -Y wol"
)
if [ -n "$before" ]; then
  reads+=("before_read_1m|sender|$before/listener/pilvorne -Read=$capture_1m"
          "before_read_100k|sender|$before/listener/pilvorne -Read=$capture_100k")
fi
# Every round reads the files from the page cache, the first one included.
cat "$capture_1m" "$capture_100k" >/dev/null
read_rounds=${READ_ROUNDS:-$rounds}
echo "bench: $read_rounds interleaved rounds of ${#reads[@]} capture readers" >&2
interleave "$read_rounds" time "${reads[@]}"
calls sender read_1m "$pilvorne" -Read="$capture_1m"
calls sender tcpdump_1m tcpdump -r "$capture_1m" -w /dev/null udp or ether proto 0x0842
# The wakes each reader finds: pilvorne's entries and valid wakes (-Summary), tshark's frames.
# summary_counts FILE: "shown valid" from pilvorne -Summary's first line.
summary_counts() {
  timeout 120 "$pilvorne" -Read="$1" -Summary 2>&1 >/dev/null |
    sed -n '1s/^Summary: [0-9]* datagrams seen, \([0-9]*\) shown, \([0-9]*\) valid wakes.*/\1 \2/p'
}
read -r shown_1m valid_1m <<<"$(summary_counts "$capture_1m")"
read -r shown_100k valid_100k <<<"$(summary_counts "$capture_100k")"
tshark_100k_found=$(timeout 120 tshark -r "$capture_100k" -Y wol 2>/dev/null | wc -l)

# ---- the listeners: 118-byte datagrams from the sender as fast as it sends them, for 1 s,
# each listener's lines going to a file; datagrams handled per second, and the listener's CPU
# time per datagram (perf stat's task-clock), which depends less on how fast the sender is.
blast_ms=1000
listener_rate() {
  local label=$1; shift
  local out=$work/$label.lines
  rm -f "$out"  # the new listener's first line, not the last round's, shows that it is ready
  ip netns exec "$(lab_ns target)" perf stat -e task-clock -o "$work/$label.perf" -- "$@" >"$out" 2>/dev/null &
  local perf=$!
  listener=$perf
  lab_wait_for 5 test -s "$out" || { echo "bench: $label did not start" >&2; return 1; }
  local child; child=$(pgrep -P "$perf")  # the listener itself
  [ -n "$child" ] || { echo "bench: $label: no listener under perf" >&2; return 1; }
  listener="$child $perf"
  lab_exec sender "$floors/udp_blast" $target_ip 1778 $blast_ms >>"$work/$label.sent"
  sleep 0.3  # what is still queued for the listener
  local lines; lines=$(wc -l <"$out")
  # The listener ends; perf, seeing it end, writes its report.
  kill "$child"
  wait "$perf"
  listener=
  local handled=$(((lines - 1) / 2))
  echo $((handled * 1000 / blast_ms)) >>"$work/$label.rate"
  awk -v n=$handled '/task-clock/ { printf "%.3f\n", $1 * 1000 / n }' "$work/$label.perf" >>"$work/$label.cpu"
}
listener_rounds=${LISTENER_ROUNDS:-5}
for ((round = 0; round < listener_rounds; round++)); do
  listener_rate floor_listen "$floors/floor_listen" 1778 100000000 30
  listener_rate pilvorne "$pilvorne"
  [ -n "$before" ] && listener_rate before_pilvorne "$before/listener/pilvorne"
done

# ---- the log: records of about 100 bytes into one file, by 1, 2 and 8 processes at once.
records=20000
logdir=$work/log
mkdir -p "$logdir"
# many P COMMAND...: P copies of COMMAND at once.
many=(bash -c 'p=$1; shift; for ((i = 0; i < p; i++)); do "$@" >/dev/null & done; wait' many)
log_rounds=${LOG_ROUNDS:-5}
for ((round = 0; round < log_rounds; round++)); do
  for processes in 1 2 8; do
    rm -f "$logdir"/*
    wall sender "floor_log_$processes" "${many[@]}" $processes "$floors/floor_log" "$logdir/floor.log" 1 $records
    rm -f "$logdir"/*
    wall sender "log_$processes" "${many[@]}" $processes \
      "$floors/bench_log_writer" "$logdir/kestrava.LOG" 1000000000 1 $records
  done
done
rm -f "$logdir"/*
calls sender floor_log "$floors/floor_log" "$logdir/floor.log" 1 2000
rm -f "$logdir"/*
calls sender log "$floors/bench_log_writer" "$logdir/kestrava.LOG" 1000000000 1 2000

# ---- the table

m() { median "$work/$1"; }
row() { printf '| %s | %s | %s | %s |\n' "$@"; }
before_cell() { [ -n "$before" ] && printf '%s → ' "$1"; }

echo
echo "Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(nproc) cores," \
  "$(uname -r); load average $(cut -d' ' -f1-3 /proc/loadavg); $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "Medians of $rounds interleaved rounds (capture readers $read_rounds, listeners $listener_rounds, log $log_rounds)," \
  "whole processes in a lab namespace."
# describe FILE: frames, size and share of wakes (broken ones included) of a generated capture.
describe() {
  awk '$1 == "frames" { f = $2 } $1 == "bytes" { b = $2 } $1 == "wakes" || $1 == "wake_broken" { w += $2 }
       END { printf "%d frames, %.0f MB, %.1f %% wakes", f, b / 1e6, w * 100 / f }' "$1.txt"
}
echo "Captures (bench/make_capture.py, seed $capture_seed): $(basename "$capture_1m"), $(describe "$capture_1m");" \
  "$(basename "$capture_100k"), $(describe "$capture_100k")."
[ -n "$before" ] && echo "Where a cell reads \"a → b\", a is $before's program in the same rounds."
echo
row "path" "now" "reference in the same run" "ratio"
row "---" "---" "---" "---"

k=$(m kestrava.wall); f=$(m floor_send.wall); w=$(m wakeonlan.wall)
row "silent send \`kestrava /IP= /MAC=\`, wall" "$(before_cell "$(fmt "$(m before_kestrava.wall 2>/dev/null)" 1) ms")$(fmt "$k" 1) ms" \
  "floor_send (socket, sendto, 10 ms pause): $(fmt "$f" 1) ms" "$(ratio "$k" "$f")"
row "silent send, wall" "$(fmt "$k" 1) ms" "Debian's \`wakeonlan\` (Perl): $(fmt "$w" 1) ms" "$(ratio "$k" "$w")"
k=$(m kestrava.rss); f=$(m floor_send.rss); p=$(m ping.rss)
row "silent send, peak RSS" "$(before_cell "$(fmt "$(m before_kestrava.rss 2>/dev/null)" 0.0009765625) MiB")$(fmt "$k" 0.0009765625) MiB" \
  "floor_send: $(fmt "$f" 0.0009765625) MiB; \`ping -c 1\`: $(fmt "$p" 0.0009765625) MiB" "$(ratio "$k" "$f")"
k=$(m kestrava.objects); f=$(m floor_send.objects)
row "silent send, shared objects mapped" "$(before_cell "$(m before_kestrava.objects 2>/dev/null)")$k" \
  "floor_send: $f; \`wakeonlan\`: $(m wakeonlan.objects); \`ping\`: $(m ping.objects)" "$(ratio "$k" "$f")"
k=$(m kestrava.calls); f=$(m floor_send.calls)
row "silent send, system calls" "$(before_cell "$(m before_kestrava.calls 2>/dev/null)")$k" \
  "floor_send: $f; \`wakeonlan\`: $(m wakeonlan.calls)" "$(ratio "$k" "$f")"
k=$(m no_display.wall); f=$(m floor_usage.wall)
row "no display (exit 2), wall" "$(before_cell "$(fmt "$(m before_no_display.wall 2>/dev/null)" 1) ms")$(fmt "$k" 1) ms" \
  "floor_send printing its usage (exit 2): $(fmt "$f" 1) ms" "$(ratio "$k" "$f")"
# timed LABEL SCALE UNIT DECIMALS: the median wall time and, after it, the median CPU time.
timed() { printf '%s %s, CPU %s %s' "$(fmt "$(m "$1.wall")" "$2" "$4")" "$3" "$(fmt "$(m "$1.task")" "$2" "$4")" "$3"; }
# before_timed LABEL ...: the same for BEFORE's program, when there is one, as a "a → " prefix.
before_timed() { [ -n "$before" ] && printf '%s → ' "$(timed "$@")"; }
# ratios A B: A's wall time over B's, and the same of their CPU times.
ratios() { printf '%s (CPU %s)' "$(ratio "$(m "$1.wall")" "$(m "$2.wall")")" "$(ratio "$(m "$1.task")" "$(m "$2.task")")"; }
row "hosts-file send \`kestrava /File=\` of $file_hosts hosts, wall and CPU time" \
  "$(before_timed before_file_kestrava 1 ms 1)$(timed file_kestrava 1 ms 1)" \
  "floor_send_file (one socket, one sendto per host, 10 ms pause): $(timed floor_send_file 1 ms 1)" \
  "$(ratios file_kestrava floor_send_file)"
row "hosts-file send, wall and CPU time" "$(timed file_kestrava 1 ms 1)" \
  "Debian's \`wakeonlan -f\` of the same hosts: $(timed file_wakeonlan 1 ms 1)" \
  "$(ratios file_kestrava file_wakeonlan)"
k=$(m file_kestrava.calls); f=$(m floor_send_file.calls)
row "hosts-file send, system calls" "$(before_cell "$(m before_file_kestrava.calls 2>/dev/null)")$k" \
  "floor_send_file: $f; \`wakeonlan -f\`: $(m file_wakeonlan.calls)" "$(ratio "$k" "$f")"
row "\`pilvorne -Read=\` of the 1 M frames, wall and CPU time" "$(before_timed before_read_1m 0.001 s 3)$(timed read_1m 0.001 s 3)" \
  "\`tcpdump -r FILE -w /dev/null 'udp or ether proto 0x0842'\`: $(timed tcpdump_1m 0.001 s 3)" \
  "$(ratios read_1m tcpdump_1m)"
k=$(m read_1m.calls); f=$(m tcpdump_1m.calls)
row "\`pilvorne -Read=\` of the 1 M frames, system calls" "$k" "the same tcpdump: $f" "$(ratio "$k" "$f")"
row "wakes in the 1 M frames" "pilvorne: $valid_1m valid wakes, $shown_1m entries" \
  "written by the generator: $(capture_fact "$capture_1m" wakes) valid wakes, $(capture_fact "$capture_1m" wake_broken) broken" "-"
row "\`pilvorne -Read=\` of the 100 k frames, wall and CPU time" "$(before_timed before_read_100k 0.001 s 3)$(timed read_100k 0.001 s 3)" \
  "\`tshark -r FILE -Y wol\`: $(timed tshark_100k 0.001 s 3)" "$(ratios read_100k tshark_100k)"
row "wakes in the 100 k frames" "pilvorne: $valid_100k valid wakes, $shown_100k entries" \
  "\`tshark -Y wol\`: $tshark_100k_found frames; written by the generator: $(capture_fact "$capture_100k" wakes) valid wakes, $(capture_fact "$capture_100k" wake_broken) broken" "-"

k=$(m pilvorne.cpu); f=$(m floor_listen.cpu)
row "listener, CPU time per datagram" "$(before_cell "$(fmt "$(m before_pilvorne.cpu 2>/dev/null)" 1 2) µs")$(fmt "$k" 1 2) µs" \
  "floor_listen: $(fmt "$f" 1 2) µs" "$(ratio "$k" "$f")"
k=$(m pilvorne.rate); f=$(m floor_listen.rate)
row "listener, 118-byte datagrams to a file" "$(before_cell "$(fmt "$(m before_pilvorne.rate 2>/dev/null)" 0.001 0) k/s")$(fmt "$k" 0.001 0) k/s" \
  "floor_listen (recvfrom, two lines, fflush): $(fmt "$f" 0.001 0) k/s; sent $(fmt "$(m pilvorne.sent)" 0.001 0) k/s" \
  "$(ratio "$k" "$f")"

per_record() { awk -v ms="$1" -v n=$records 'BEGIN { printf "%.1f µs\n", ms * 1000 / n }'; }
k=$(m log_1.wall); f=$(m floor_log_1.wall)
row "one log record, one process" "$(per_record "$k")" "floor_log (open, write, close): $(per_record "$f")" \
  "$(ratio "$k" "$f")"
for processes in 2 8; do
  per_s() { awk -v ms="$1" -v n=$((processes * records)) 'BEGIN { printf "%.0f k/s\n", n / ms }'; }
  k=$(m log_$processes.wall); f=$(m floor_log_$processes.wall)
  row "log, $processes processes" "$(per_s "$k")" "the same floor, $processes processes: $(per_s "$f")" \
    "$(ratio "$k" "$f")"
done
k=$(awk '{ printf "%.1f\n", $1 / 2000 }' "$work/log.calls"); f=$(awk '{ printf "%.1f\n", $1 / 2000 }' "$work/floor_log.calls")
row "log, system calls per record" "$k" "floor_log: $f" "$(ratio "$k" "$f")"
echo
echo "ratio: the program's time, memory or count over the reference's (lower is better), \"(CPU ...)\" that of"
echo "their CPU times, which other load on the machine changes less than their wall times; for the"
echo "listener, its rate over the floor's (higher is better)."
