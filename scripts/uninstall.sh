#!/usr/bin/env bash
# Removes what the last `make install` of a build put on the machine, from the list of files
# that install wrote into the build (install_manifest.txt), under the same DESTDIR.
# Usage: [DESTDIR=...] scripts/uninstall.sh [BUILD_DIR]
set -u
build=${1:-build/default}
manifest=$build/install_manifest.txt
if [ ! -f "$manifest" ]; then
  echo "uninstall: $manifest is not there: nothing was installed from $build (make install writes it)" >&2
  exit 1
fi

status=0
# The list has no line end after its last entry.
while IFS= read -r path || [ -n "$path" ]; do
  [ -n "$path" ] || continue
  file=${DESTDIR:-}$path
  # A file that is gone already (removed by hand, or by an earlier uninstall) is no failure.
  if [ -e "$file" ] || [ -L "$file" ]; then
    rm -f -- "$file" && echo "uninstall: removed $file" || status=1
  fi
  # The folders that are the tree's own go when they are empty; shared ones (bin/, man1/) stay.
  folder=$(dirname -- "$file")
  case "$(basename -- "$folder")" in
    kestrava | tidewake) rmdir -- "$folder" 2>/dev/null ;;
  esac
done <"$manifest"
exit $status
