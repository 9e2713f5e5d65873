#!/usr/bin/env bash
# Takes a screenshot of kestrava's dialog on a virtual display (Xvfb) for the README.
# Usage: scripts/screenshot.sh [KESTRAVA [OUTPUT.png]]
# (defaults: build/default/sender/kestrava and docs/kestrava-linux.png)
set -euo pipefail
cd "$(dirname "$0")/.."
KESTRAVA=${1:-build/default/sender/kestrava}
OUTPUT=${2:-docs/kestrava-linux.png}
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "screenshot: $tool is not installed (make deps)" >&2; exit 1; }
done
[ -x "$KESTRAVA" ] || { echo "screenshot: no program at $KESTRAVA (make build)" >&2; exit 1; }

display_file=$(mktemp)
xvfb_pid= kestrava_pid=
# Ends what this script started; a killed program's status must not stop the clean-up.
finish() {
  set +e
  local pid
  for pid in $kestrava_pid $xvfb_pid; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  rm -f "$display_file"
}
trap finish EXIT

# Xvfb chooses a free display number and writes it to the descriptor.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
for ((i = 0; i < 100; i++)); do [ -s "$display_file" ] && break; sleep 0.1; done
[ -s "$display_file" ] || { echo "screenshot: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$display_file") NO_AT_BRIDGE=1

"$KESTRAVA" /Debug=1 Lab >/dev/null 2>&1 &
kestrava_pid=$!
window=
for ((i = 0; i < 100; i++)); do
  window=$(xdotool search --onlyvisible --name '^Tidewake' 2>/dev/null | head -n1) && [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "screenshot: the dialog did not open" >&2; exit 1; }
xdotool windowfocus "$window" 2>/dev/null || true
sleep 0.3
# A target name, as an operator would begin.
xdotool type --delay 20 "office-pc"
sleep 0.5
mkdir -p "$(dirname "$OUTPUT")"
import -window "$window" "$OUTPUT"
echo "screenshot: $OUTPUT"
