#!/usr/bin/env bash
# Helpers of the install checks: tools they need, a temporary install, counted assertions.
here_install=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../lab/lib.sh
source "$here_install/../lab/lib.sh"  # lab_check, lab_finish, lab_fail_or_skip

# install_need TOOL...: a missing tool skips the check, or fails it under CI=true.
install_need() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 && continue
    echo "install: cannot run: $tool is not installed (scripts/deps.sh installs it)" >&2
    [ "${CI:-}" = "true" ] && { echo "install: CI=true, so this is a failure" >&2; exit 1; }
    exit 77
  done
}

# install_tree BUILD DESTDIR PREFIX: `cmake --install` of BUILD; the log is shown when it fails.
install_tree() {
  local log
  if ! log=$(DESTDIR=$2 cmake --install "$1" --prefix "$3" 2>&1); then
    printf '%s\n' "$log" >&2
    echo "install: cmake --install $1 failed" >&2
    exit 1
  fi
}

equals() { lab_equals "$@"; }
