#!/usr/bin/env bash
# kestrava opens its GTK module, and with it GTK, only when a display may be at hand: never for --help,
# --version or without any display; a module that is not there is named, exit status 2; a command
# line that ended early is named instead of the missing display, and sends nothing.
# Usage: gtk_module.sh KESTRAVA PILVORNE
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../lab/lib.sh
source "$here/../../lab/lib.sh"  # lab_check, lab_finish, lab_maps_gtk

kestrava=$(realpath "${1:?kestrava program}")
pilvorne=$(realpath "${2:?pilvorne program}")
work=$(mktemp -d)
listener=
trap 'lab_stop "$listener"; rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/run" "$work/bin"
chmod 700 "$work/run"
no_display="kestrava: cannot open the dialog: no graphical display (is DISPLAY set?); kestrava /IP=<address> /MAC=<mac address> sends without a window"

# run NAME [VARIABLE=VALUE...] -- PROGRAM ARGS...: the program in an environment of its own, whose
# home and runtime folder are empty, so that GTK finds no display there either. The dynamic
# loader lists every object it maps in $work/NAME.ld.PID.
run() {
  local name=$1 vars=()
  shift
  while [ "$1" != "--" ]; do vars+=("$1"); shift; done
  shift
  env -i PATH="$PATH" HOME="$work/home" XDG_RUNTIME_DIR="$work/run" \
    LD_DEBUG=files LD_DEBUG_OUTPUT="$work/$name.ld" "${vars[@]}" \
    timeout 20 "$@" >"$work/$name.out" 2>"$work/$name.err"
  echo $? >"$work/$name.status"
}
maps_gtk() { lab_maps_gtk "$work/$1.ld"; }
maps_no_gtk() { lab_maps_no_gtk "$work/$1.ld"; }
status_is() { [ "$(cat "$work/$1.status")" = "$2" ]; }
said() { grep -qxF "$2" "$work/$1.err"; }

# Without a display of any kind, and for the texts that need none, GTK stays out of the process.
run help -- "$kestrava" --help
run version -- "$kestrava" --version
run none -- "$kestrava"
for name in help version none; do
  lab_check "$name: no GTK library, not the module" maps_no_gtk $name
done
lab_check "help: exit status 0" status_is help 0
lab_check "no display: exit status 2" status_is none 2
lab_check "no display: says so, and how to send without a window" said none "$no_display"

# Wherever GTK might find a display, kestrava lets it look: the module and GTK are opened, and
# here, where none of them answers, GTK's refusal ends the program with the same words.
: >"$work/run/wayland-0"
run wayland0 -- "$kestrava"
rm "$work/run/wayland-0"
run x11 DISPLAY=none -- "$kestrava"
run wayland WAYLAND_DISPLAY=none -- "$kestrava"
run backend GDK_BACKEND=x11 -- "$kestrava"
run option -- "$kestrava" --display=none
for name in wayland0 x11 wayland backend option; do
  lab_check "$name: the module and GTK are opened" maps_gtk $name
  lab_check "$name: no display, exit status 2" status_is $name 2
  lab_check "$name: no display, said as without GTK" said $name "$no_display"
done

# A mistyped option or a second bare word after a full target ends the command line: without a
# display, the line names it as given (exit status 2), and nothing reaches pilvorne on loopback.
# The same target without the mistake is the control that the witness hears a wake.
port=$((20000 + $$ % 20000))
target=(/MAC=02:54:57:00:0a:14 /To=127.0.0.1 /Port=$port)
# witness NAME ARGS...: kestrava ARGS run while pilvorne waits 2 s for one wake on the port.
witness() {
  local name=$1
  shift
  "$pilvorne" -PortNo=$port -Count=1 -Timeout=2 >"$work/$name.pilvorne" 2>&1 &
  listener=$!
  lab_wait_for 5 grep -q "port no $port" "$work/$name.pilvorne"
  run "$name" -- "$kestrava" "$@"
  wait "$listener"
  echo $? >"$work/$name-heard.status"
  listener=
}
witness sent "${target[@]}"
witness typo "${target[@]}" /Verbos
witness word "${target[@]}" Lab1 Lab2
lab_check "control: the target without a mistake is woken" status_is sent-heard 0
for name in typo word; do
  lab_check "$name: exit status 2" status_is $name 2
  lab_check "$name: nothing reaches pilvorne" status_is $name-heard 4
done
lab_check "typo: the option is named as given" said typo "kestrava: /Verbos: not an option"
lab_check "word: the second word is named" said word "kestrava: Lab2: a second title word"
# GTK's own options end kestrava's parse too, but GTK reads them: no word of them.
run gtkoption -- "$kestrava" Lab1 --class=Wake
lab_check "a GTK option: no display, said as without it" said gtkoption "$no_display"

# A program without its module names the file it looked for.
cp "$kestrava" "$work/bin/kestrava"
run missing DISPLAY=none -- "$work/bin/kestrava"
lab_check "missing module: exit status 2" status_is missing 2
lab_check "missing module: the file is named" said missing \
  "kestrava: cannot open the dialog: $work/bin/../lib/$(gcc -print-multiarch)/kestrava/kestrava-gtk.so: cannot open shared object file: No such file or directory"

lab_finish
