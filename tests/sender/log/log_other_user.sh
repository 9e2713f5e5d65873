#!/usr/bin/env bash
# Another local user cannot reach our log: files and mutex objects planted in the old shared
# places and at our own names neither receive nor block our records, and truncating a planted
# mutex object does not kill the writer. Needs root (a test user is made and removed).
# Usage: log_other_user.sh LOG_WRITER_TOOL
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../lab/lib.sh
source "$here/../../lab/lib.sh"
tool=${1:?log writer tool}

[ "$(id -u)" -eq 0 ] || lab_fail_or_skip "a second user is made for this test, which needs root"
for command in useradd userdel setpriv; do
  command -v "$command" >/dev/null 2>&1 || lab_fail_or_skip "$command is not installed"
done

other=tw-other-$$
work=$(mktemp -d /tmp/tidewake-users.XXXXXX)
chmod 755 "$work"
name=kestrava   # the writer's base name: its log file and mutex are named after it
uid=$(id -u)
finish() {
  userdel "$other" >/dev/null 2>&1
  rm -rf "$work" "/tmp/$name.LOG" "/tmp/$name.LO_" "/tmp/$name-$uid" \
    "/dev/shm/${name}_QELOG" "/dev/shm/${name}_QELOG.$uid"
}
trap finish EXIT
useradd --system --no-create-home --shell /usr/sbin/nologin "$other" || lab_fail_or_skip "cannot add a test user"
as_other() { setpriv --reuid="$other" --regid="$other" --clear-groups -- "$@"; }

cp "$tool" "$work/$name"
rm -rf "/tmp/$name.LOG" "/tmp/$name.LO_" "/tmp/$name-$uid" "/dev/shm/${name}_QELOG" "/dev/shm/${name}_QELOG.$uid"

# What the other user plants: the log and backup at the old shared names, a folder at our
# private /tmp name, and mutex objects at the old name and at ours, writable by anyone.
as_other sh -c "umask 0; printf planted >/tmp/$name.LOG; printf planted >/tmp/$name.LO_;
                mkdir -m 777 /tmp/$name-$uid;
                head -c 48 /dev/zero >/dev/shm/${name}_QELOG; head -c 48 /dev/zero >/dev/shm/${name}_QELOG.$uid"
planted() { stat -c '%n %U %a %s' "/tmp/$name.LOG" "/tmp/$name.LO_"; }
planted_before=$(planted)

# 1. With a home: the records go to our own state folder, all of them, at once.
home=$work/home
mkdir -m 700 "$home"
env -u XDG_STATE_HOME HOME="$home" timeout 60 "$work/$name" "" 10000000 1 300 >/dev/null
status=$?
own_log=$home/.local/state/$name/$name.LOG
lab_check "the writer ended well" [ "$status" -eq 0 ]
lab_check "it did not wait out the planted mutex objects" [ "$(grep -c 'Mutex Timeout' "$own_log" 2>/dev/null)" -eq 0 ]
lab_check "every record is in our own log" [ "$(grep -c 'P1-R' "$own_log" 2>/dev/null)" -eq 300 ]
lab_check "our log is ours alone" [ "$(stat -c '%U %a' "$own_log" 2>/dev/null)" = "$(id -un) 600" ]
lab_check "its folder is ours alone" [ "$(stat -c '%U %a' "$(dirname "$own_log")")" = "$(id -un) 700" ]

# 2. Without a home: the private /tmp folder is taken by the other user, so no file is written
# at all; the records still reach standard output, and nothing of theirs receives one.
env -u XDG_STATE_HOME -u HOME timeout 60 "$work/$name" "" 10000000 2 50 >"$work/stdout"
lab_check "without a home the writer ends well too" [ $? -eq 0 ]
lab_check "its records reach standard output" [ "$(grep -c 'P2-R' "$work/stdout")" -eq 50 ]
lab_check "the other user's folder received nothing" [ -z "$(ls -A "/tmp/$name-$uid")" ]

# 3. The other user truncates the object planted at our mutex's name while we write.
env -u XDG_STATE_HOME HOME="$home" timeout 60 "$work/$name" "" 10000000 3 2000 >/dev/null &
writer=$!
as_other truncate -s 0 "/dev/shm/${name}_QELOG.$uid"
as_other truncate -s 0 "/dev/shm/${name}_QELOG"
wait "$writer"
status=$?
lab_check "a truncated mutex object does not kill the writer" [ "$status" -eq 0 ]
lab_check "none of those records is lost" [ "$(grep -c 'P3-R' "$own_log")" -eq 2000 ]

lab_check "the planted log and backup received no record" \
  [ "$(cat "/tmp/$name.LOG")$(cat "/tmp/$name.LO_")" = "plantedplanted" ]
lab_check "the planted log and backup are as they were" [ "$(planted)" = "$planted_before" ]
lab_finish
