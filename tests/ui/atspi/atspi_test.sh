#!/usr/bin/env bash
# Starts the program on a private X server with its own session bus and accessibility bus, and
# reads its window through AT-SPI.   atspi_test.sh PROGRAM
# Everything started here has a bounded life and is ended by its own process group.
set -uo pipefail
program=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../install/start_check.sh"  # end_group
if ! /usr/bin/python3 -c 'import pyatspi' 2>/dev/null; then
    echo "skipped: python3-pyatspi is not installed"
    exit 77
fi
start_xvfb 1024x768x24 || { end_group "$xvfb"; echo "FAIL: no X server"; exit 1; }
export DISPLAY=$display QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NO_AT_BRIDGE=0
setsid timeout -k 5 90 dbus-run-session -- bash -c '
    /usr/libexec/at-spi-bus-launcher --launch-immediately &
    sleep 1
    "$1" &
    app=$!
    timeout 60 /usr/bin/python3 "$2"
    status=$?
    kill -KILL "$app" 2>/dev/null
    exit $status' - "$program" "$here/atspi_check.py" &
session=$!
wait "$session"
status=$?
end_group "$session"
end_group "$xvfb"
exit $status
