#!/usr/bin/env bash
# `make demo` run as root in a tree an ordinary user owns: the demo wakes its target, and the
# tree stays the user's, so that the user's own `make build` afterwards works.
# Usage: demo_as_root.sh SOURCE_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

source_dir=$(realpath "${1:?source directory}")
lab_require runuser make cmake tar
user=nobody
id "$user" >/dev/null 2>&1 || lab_fail_or_skip "there is no user $user to own the tree"
work=$(mktemp -d)
trap 'rm -rf "$work"; lab_cleanup' EXIT
chmod 755 "$work"

# A fresh tree of the user's: the sources without any build or repository.
tree=$work/tidewake
mkdir "$tree"
tar -C "$source_dir" --exclude=./build --exclude=./.git -cf - . | tar -C "$tree" -xf -
chown -R "$user:$(id -gn "$user")" "$tree"

( cd "$tree" && make demo JOBS=2 ) >"$work/demo.log" 2>&1
demo=$?
lab_check "make demo as root: the wake arrived (status $demo)" equals "$demo" 0
lab_check "make demo as root: everything in the tree is still the user's" \
  equals "$(find "$tree" ! -user "$user" | head -n 5)" ""
lab_check "make demo as root: it built in build/demo, not in make build's folder" \
  test -x "$tree/build/demo/sender/kestrava" -a ! -e "$tree/build/default"

runuser -u "$user" -- env HOME="$work" make -C "$tree" build JOBS=2 >"$work/build.log" 2>&1
build=$?
lab_check "then make build as the user: it builds (status $build)" equals "$build" 0
lab_check "then make build as the user: the programs are there" \
  test -x "$tree/build/default/sender/kestrava" -a -x "$tree/build/default/listener/pilvorne"

if [ "$LAB_FAILURES" -ne 0 ]; then
  echo "--- make demo" >&2; tail -n 30 "$work/demo.log" >&2
  echo "--- make build" >&2; tail -n 30 "$work/build.log" >&2
fi
lab_finish
