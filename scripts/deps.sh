#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the demo need, when missing.
# As root it runs apt-get; otherwise it prints the command to run.
# Usage: scripts/deps.sh [programs]   ("programs": only what building the two programs and the
# demo needs; without it, everything the tests, the benchmarks, the packages and the Windows build
# need too).
set -euo pipefail

# The two programs and the demo's virtual LAN. OpenSSL's headers for the relay's keys (the
# programs load libcrypto only when a key is used).
packages=(
  build-essential cmake pkg-config gzip mandoc libgtk-3-dev libpcap-dev libssl-dev
  iproute2
)
if [ "${1:-}" != "programs" ]; then
  packages+=(
    libgtest-dev libgmock-dev googletest libbenchmark-dev clang libclang-rt-14-dev nlohmann-json3-dev
    iputils-ping tshark tcpdump wakeonlan etherwake procps python3
    linux-perf time
    xvfb xauth xdotool imagemagick
    g++-mingw-w64-x86-64-posix wine wine64
    desktop-file-utils systemd dpkg-dev file lintian unzip
    passwd util-linux strace
  )
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  echo "deps: all packages present"
  exit 0
fi

cmd=(apt-get install -y -q --no-install-recommends "${missing[@]}")
if [ "$(id -u)" -ne 0 ]; then
  echo "deps: missing packages: ${missing[*]}"
  echo "deps: run as root: apt-get update && ${cmd[*]}"
  exit 1
fi
echo "deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
"${cmd[@]}"
