#!/usr/bin/env bash
# pilvorne.exe -Check and -Enable under Wine: an adapter's keywords and Fast Startup written into
# the test prefix's registry with `wine reg add`, and the verdict each gives; -Enable prints an
# administrator's commands and changes nothing.
# Usage: windows_readiness.sh PILVORNE-EXE; runs with the WINEPREFIX the Windows test runner prepared.
set -uo pipefail
pilvorne=$1
# The lab library's checks only: this test needs no namespace.
source "$(dirname "$0")/lib.sh"
for tool in wine python3; do
  command -v "$tool" >/dev/null 2>&1 || lab_fail_or_skip "$tool is not installed"
done
export WINEDEBUG=-all
work=$(mktemp -d /tmp/tidewake-winready.XXXXXX)
class='HKLM\SYSTEM\CurrentControlSet\Control\Class\{4d36e972-e325-11ce-bfc1-08002be10318}'
key="$class\\0042"
power='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Power'
cleanup() {
  wine reg delete "$key" /f >/dev/null 2>&1
  wine reg delete "$power" /v HiberbootEnabled /f >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

# run NAME ARGS...: pilvorne.exe, its output without "\r", its status in $work/NAME.status.
run() {
  local name=$1; shift
  wine "$pilvorne" "$@" >"$work/$name.raw" 2>"$work/$name.rawerr" </dev/null
  echo $? >"$work/$name.status"
  tr -d '\r' <"$work/$name.raw" >"$work/$name.out"
  tr -d '\r' <"$work/$name.rawerr" >"$work/$name.err"
}
status() { cat "$work/$1.status"; }
reg_set() { wine reg add "$1" /v "$2" /t "$3" /d "$4" /f >/dev/null 2>&1; }

# The adapter Wine lists first as Ethernet, and its GUID, from -Json; no key names it yet.
run none -Check -Json
read -r name id < <(python3 -c '
import json, sys
rows = [json.loads(line) for line in open(sys.argv[1])]
print(rows[0]["name"], rows[0]["adapter"]["id"]) if rows else None' "$work/none.out" 2>/dev/null)
[ -n "${name:-}" ] || lab_fail_or_skip "Wine lists no Ethernet adapter here ($(cat "$work/none.err"))"
lab_check "no key for the adapter: exit 2" [ "$(status none)" -eq 2 ]
lab_check "no key for the adapter: cannot tell, and why" python3 - "$work/none.out" "$id" <<'PY'
import json, sys
row = json.loads(open(sys.argv[1]).readline())
ok = row["verdict"] == "cannot tell" and row["adapter"]["key"] is None and row["supported"] is None
ok = ok and row["causes"][0].endswith("has NetCfgInstanceId %s, so the adapter's settings cannot be read" % sys.argv[2])
sys.exit(0 if ok else f"got {row}")
PY

reg_set "$key" NetCfgInstanceId REG_SZ "$id"
reg_set "$key" '*WakeOnMagicPacket' REG_SZ 0
reg_set "$key" PnPCapabilities REG_DWORD 24
reg_set "$power" HiberbootEnabled REG_DWORD 1
run off -Check -Interface="$name"
lab_check "*WakeOnMagicPacket 0 and Fast Startup: exit 5" [ "$(status off)" -eq 5 ]
lab_check "*WakeOnMagicPacket 0 and Fast Startup: the verdict and the facts" lab_equals "$(grep -v '^  adapter: ' "$work/off.out")" \
"$name: cannot wake: wake by magic packet is off (*WakeOnMagicPacket 0); Fast Startup is on: after Shut down this machine may not wake; wake from sleep or hibernation still works; pilvorne -Enable -Interface=$name prints an administrator's commands
  registry key: HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\{4d36e972-e325-11ce-bfc1-08002be10318}\\0042
  *WakeOnMagicPacket: 0
  *WakeOnPattern: absent
  PnPCapabilities: 24 (Windows may not turn the device off)
  armed to wake: cannot be read here (the power API's device query is missing)
$(grep '^this machine: ' "$work/off.out")"
lab_check "the machine's line names Fast Startup" grep -q '; Fast Startup on (HiberbootEnabled 1)$' "$work/off.out"

reg_set "$key" '*WakeOnMagicPacket' REG_SZ 1
reg_set "$power" HiberbootEnabled REG_DWORD 0
run on -Check -Interface="$name"
lab_check "*WakeOnMagicPacket 1, Fast Startup off: exit 0" [ "$(status on)" -eq 0 ]
lab_check "*WakeOnMagicPacket 1, Fast Startup off: can wake" lab_equals "$(head -n 1 "$work/on.out")" \
  "$name: can wake by magic packet (*WakeOnMagicPacket 1; armed to wake: cannot be read here; Fast Startup off)"

reg_set "$power" HiberbootEnabled REG_DWORD 1
run fast -Check -Interface="$name" -Json
lab_check "Fast Startup alone: exit 5" [ "$(status fast)" -eq 5 ]
lab_check "Fast Startup alone: the one cause, and the keywords in the object" python3 - "$work/fast.out" <<'PY'
import json, sys
row = json.loads(open(sys.argv[1]).readline())
ok = row["fast_startup"] is True and row["verdict"] == "cannot wake" and len(row["causes"]) == 1
ok = ok and row["causes"][0].startswith("Fast Startup is on")
ok = ok and row["adapter"]["key"] == "0042" and row["adapter"]["WakeOnMagicPacket"] == 1 and row["adapter"]["PnPCapabilities"] == 24
sys.exit(0 if ok else f"got {row}")
PY

run enable -Enable -Interface="$name"
lab_check "-Enable on Windows: exit 2" [ "$(status enable)" -eq 2 ]
lab_check "-Enable on Windows: the administrator's commands" grep -qx "  Set-NetAdapterPowerManagement -Name \"$name\" -WakeOnMagicPacket Enabled" "$work/enable.err"
lab_check "-Enable on Windows: powercfg and Fast Startup off" \
  bash -c 'grep -q "^  powercfg /deviceenablewake \"" "$1" && grep -q "/v HiberbootEnabled /t REG_DWORD /d 0 /f$" "$1"' _ "$work/enable.err"
lab_check "-Enable on Windows: nothing changed" bash -c \
  'wine reg query "$1" /v "*WakeOnMagicPacket" 2>/dev/null | tr -d "\r" | grep -q "REG_SZ *1$"' _ "$key"
lab_check "-Enable on Windows: nothing on standard output" [ ! -s "$work/enable.out" ]

lab_finish
