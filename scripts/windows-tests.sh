#!/usr/bin/env bash
# Cross-builds Tidewake for Windows (mingw-w64) and runs its unit and Windows tests under Wine,
# headless. Usage: scripts/windows-tests.sh [build-dir]   (default build/windows)
# CMAKE_FLAGS from the environment are passed to the configure step; JOBS sets the build's
# parallelism. Exit status: ctest's.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
build_dir=${1:-build/windows}
jobs=${JOBS:-$(nproc)}

for tool in x86_64-w64-mingw32-g++-posix wine wineserver; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "windows-tests: $tool is missing; run scripts/deps.sh as root" >&2
    exit 1
  fi
done

# shellcheck disable=SC2086
cmake -S "$source_dir" -B "$build_dir" --toolchain "$source_dir/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON ${CMAKE_FLAGS:-}
cmake --build "$build_dir" -j"$jobs"
build_dir=$(cd "$build_dir" && pwd)

# Wine: a prefix of our own inside the build directory, no debug chatter, no Mono or Gecko
# installers (nothing here needs .NET or HTML), no display.
export WINEPREFIX=$build_dir/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
unset DISPLAY
mkdir -p "$WINEPREFIX"

# The Wine server and its services outlive the first program; started here, detached and with
# every stream redirected, they hold no pipe of ctest's open (ctest would wait for them).
stop_wine() { wineserver -k >/dev/null 2>&1 || true; }
trap stop_wine EXIT
wineserver -p >/dev/null 2>&1 </dev/null || true
wine cmd /c exit >/dev/null 2>&1 </dev/null || true

# Test cases that cannot run under Wine are named, with the reason, in
# tests/platform/win32_excluded_tests.cmake; the configure step writes them out for ctest -E.
exclude=$(cat "$build_dir/windows_excluded_tests.txt" 2>/dev/null || true)

cd "$build_dir"
args=(--output-on-failure -j1 -LE lab)
if [ -n "$exclude" ]; then
  echo "windows-tests: not run under Wine (see tests/platform/win32_excluded_tests.cmake): $exclude"
  args+=(-E "$exclude")
fi
ctest "${args[@]}"
