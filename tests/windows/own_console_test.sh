#!/usr/bin/env bash
# tessarel.exe started by Explorer (as "Check with Tessarel" does) gets a console of its own,
# which would close with the program before its report is read: it says so and waits for a
# key, and its status is the check's. Here wine's start opens that console on a private X
# server, and a key is pressed through the X server.
#   own_console_test.sh tessarel.exe LINUX_TESSAREL
set -uo pipefail
exe=$1
linux=$2
export WINEDEBUG=-all
export WINEPREFIX=${WINEPREFIX:-$(cd "$(dirname "$exe")/.." && pwd)/wineprefix}
command -v xdotool >/dev/null || { echo "skipped: no xdotool"; exit 77; }
source "$(dirname "$0")/../support/xvfb.sh"
work=$(mktemp -d)
cleanup() {
    [ -n "${run:-}" ] && kill -KILL -- "-$run" 2>/dev/null
    [ -n "${xvfb:-}" ] && kill -TERM -- "-$xvfb" 2>/dev/null
    timeout 20 /usr/lib/wine/wineserver -w || /usr/lib/wine/wineserver -k
    rm -rf "$work"
}
trap cleanup EXIT
head -c 100000 /dev/urandom >"$work/f.bin"
"$linux" split -s 30000 "$work/f.bin" >/dev/null 2>&1 || { echo "FAIL: no series to check"; exit 1; }
start_xvfb 800x600x24 || { echo "FAIL: no X server"; exit 1; }
export DISPLAY=$display
# A wine session started without this display would lend the console its own.
timeout 20 /usr/lib/wine/wineserver -w || /usr/lib/wine/wineserver -k
setsid bash -c 'timeout 60 /usr/lib/wine/wine64 start /wait /unix "$1" check "Z:$2"; echo $? >"$3"' \
    - "$exe" "${work//\//\\}\\f.bin.m00" "$work/status" &
run=$!
console=
for _ in $(seq 200); do
    console=$(xdotool search --name 'tessarel\.exe' 2>/dev/null | tail -1)
    [ -n "$console" ] && break
    sleep 0.1
done
[ -n "$console" ] || { echo "FAIL: no console opened"; exit 1; }
sleep 3
[ -e "$work/status" ] && { echo "FAIL: the console closed without waiting for a key"; exit 1; }
xdotool windowfocus --sync "$console" key Return
for _ in $(seq 100); do [ -s "$work/status" ] && break; sleep 0.1; done
[ -s "$work/status" ] || { echo "FAIL: a key did not close the console"; exit 1; }
[ "$(cat "$work/status")" = 0 ] || { echo "FAIL: status $(cat "$work/status"), not the check's 0"; exit 1; }
echo "the console waited for a key and kept the check's status"
