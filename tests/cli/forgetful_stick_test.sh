#!/usr/bin/env bash
# A counterfeit stick: a loop device (as root) with a file system on it, over a FUSE back end that
# claims 64 MB and keeps 32 MB (tests/support/forgetful_stick.py), and one that flips a byte it
# gives back. What is written is read back from the medium: a split and a join that did not land
# fail naming the file, leaving nothing; without the read-back the split passes (as any program
# that trusts the system's word would), and check --from-medium finds the damage.
#   forgetful_stick_test.sh PROGRAM
# Everything started here is ended by its own pid, and every mount and loop device undone.
set -uo pipefail
program=$1
here=$(cd "$(dirname "$0")" && pwd)
[ "$(id -u)" -eq 0 ] || { echo "skipped: needs root for a loop device"; exit 77; }
for needed in losetup mkfs.ext2 fusermount mountpoint; do
    command -v "$needed" >/dev/null || { echo "skipped: $needed is not installed"; exit 77; }
done
/usr/bin/python3 -c 'import fusepy' 2>/dev/null || { echo "skipped: no fusepy"; exit 77; }
[ -w /dev/fuse ] && [ -e /dev/loop-control ] || { echo "skipped: no FUSE or loop devices here"; exit 77; }

work=$(mktemp -d)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
fuse_pid="" loop=""
undo() {
    mountpoint -q "$work/stick" && umount "$work/stick"
    [ -n "$loop" ] && losetup -d "$loop" 2>/dev/null
    loop=""
    mountpoint -q "$work/back" && fusermount -u "$work/back"
    if [ -n "$fuse_pid" ]; then
        kill "$fuse_pid" 2>/dev/null
        wait "$fuse_pid" 2>/dev/null
    fi
    fuse_pid=""
}
trap 'undo; rm -rf "$work"' EXIT
mkdir -p "$work/back" "$work/stick"
head -c $((40 << 20)) /dev/urandom >"$work/src"

# stick KEPT [FLIP_AT]: a fresh stick of 64 MB keeping KEPT bytes, with ext2 (one block group:
# its records lie at the start, so only what is written past KEPT is lost), mounted at stick.
stick() {
    undo
    timeout 600 /usr/bin/python3 "$here/../support/forgetful_stick.py" "$work/back" $((64 << 20)) "$@" \
        >"$work/fuse.log" 2>&1 &
    fuse_pid=$!
    for _ in $(seq 100); do mountpoint -q "$work/back" && break; sleep 0.1; done
    mountpoint -q "$work/back" || { echo "FAIL: the stick's back end did not mount"; cat "$work/fuse.log"; exit 1; }
    loop=$(losetup --find --show --direct-io=on "$work/back/stick.img" 2>/dev/null ||
           losetup --find --show "$work/back/stick.img") || { echo "skipped: no loop device"; exit 77; }
    mkfs.ext2 -q -F -b 4096 "$loop" && mount "$loop" "$work/stick" ||
        { echo "skipped: cannot mount a file system on a loop device here"; exit 77; }
}

run() { timeout 300 "$program" "$@" >"$work/out" 2>"$work/err"; }
said() { grep -q "$1" "$work/err" || fail "$2: not said: $1 ($(cat "$work/err"))"; }
left() { ls "$work/stick" | grep -v lost+found; }

stick $((32 << 20))
# By default: a loop device's medium is not known, so what is written there is read back, as
# the window's split does by the same rule.
run split -s 10M "$work/src" "$work/stick/"
[ $? -eq 1 ] || fail "a split onto the forgetful stick did not fail"
said "was written but the medium gives back other bytes" "the split"
[ -z "$(left)" ] || fail "the failed split left: $(left)"
run split -s 10M --verify-written "$work/src" "$work/stick/"
[ $? -eq 1 ] || fail "a split onto the forgetful stick with --verify-written did not fail"

run split -s 10M --no-verify-written "$work/src" "$work/stick/"
[ $? -eq 0 ] || fail "without the read-back the split should pass as before: $(cat "$work/err")"
run check "$work/stick/src.m00"
[ $? -eq 0 ] || fail "check from the cache should see what was written"
run check --from-medium "$work/stick/src.m00"
[ $? -eq 1 ] || fail "check --from-medium did not find what the stick lost"
grep -q "damaged" "$work/out" || fail "check --from-medium named no damaged piece: $(cat "$work/out")"

rm -f "$work/stick"/src.*
run split -s 10M --no-verify-written "$work/src" "$work/stick/"
cp "$work/stick/src.m00" "$work/src.m00" 2>/dev/null
run join -y --verify-written "$work/stick/src.m00" "$work/stick/joined"
[ $? -eq 1 ] || fail "a join onto the forgetful stick did not fail"
[ ! -e "$work/stick/joined" ] || fail "the failed join left its output"

stick $((64 << 20)) $((20 << 20))
run split -s 10M --verify-written "$work/src" "$work/stick/"
[ $? -eq 1 ] || fail "a split onto a stick that flips a byte did not fail"
said "was written but the medium gives back other bytes" "the split onto a flipping stick"

[ "$failures" -eq 0 ] && echo "the forgetful stick was caught; without the read-back it was not"
exit $((failures > 0))
