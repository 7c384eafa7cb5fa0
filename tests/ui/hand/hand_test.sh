#!/usr/bin/env bash
# The main window driven by a user's hand: a private X server with a window manager (openbox,
# for the close box and Alt+F4), a session bus with the accessibility bus, and a slow medium
# (bench/slowfs.py on FUSE) for the split to write to.   hand_test.sh PROGRAM
# Everything started here has a bounded life and is ended by its own process group.
set -uo pipefail
program=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../install/start_check.sh"  # start_xvfb, end_group
for needed in xdotool xclip openbox fusermount; do
    command -v "$needed" >/dev/null || { echo "skipped: $needed is not installed"; exit 77; }
done
/usr/bin/python3 -c 'import pyatspi, fusepy' 2>/dev/null || { echo "skipped: no pyatspi or fusepy"; exit 77; }
[ -w /dev/fuse ] || { echo "skipped: no FUSE here"; exit 77; }

work=$(mktemp -d)
slow=$work/slow
mkdir "$slow"
setsid /usr/bin/python3 "$here/../../../bench/slowfs.py" "$slow" 4 >"$work/slowfs.log" 2>&1 &
fs=$!
cleanup() {
    fusermount -u "$slow" 2>/dev/null
    end_group "$fs"
    [ -n "${session:-}" ] && end_group "$session"
    [ -n "${xvfb:-}" ] && end_group "$xvfb"
    rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 100); do mountpoint -q "$slow" && break; sleep 0.1; done
mountpoint -q "$slow" || { echo "FAIL: the slow medium did not mount"; cat "$work/slowfs.log"; exit 1; }

start_xvfb 1024x768x24 || { echo "FAIL: no X server"; exit 1; }
export DISPLAY=$display QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NO_AT_BRIDGE=0
setsid timeout -k 5 240 dbus-run-session -- bash -c '
    openbox --sm-disable &
    /usr/libexec/at-spi-bus-launcher --launch-immediately &
    sleep 1
    timeout 200 /usr/bin/python3 "$1" "$2" "$3"' - "$here/hand_check.py" "$program" "$slow" &
session=$!
wait "$session"
