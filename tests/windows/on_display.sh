#!/usr/bin/env bash
# Runs a Windows program under wine on a virtual display of its own (Xvfb), ended by its pid
# whatever happens; the program's status is the script's.
#   on_display.sh PROGRAM.exe [ARGS...]
set -uo pipefail
export WINEDEBUG=-all
export WINEPREFIX=${WINEPREFIX:-$(cd "$(dirname "$1")/.." && pwd)/wineprefix}
display=
for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=$n; break; }
done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null' EXIT
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.05; done
# A wine session started without a display (the build runs its tools under wine, the core tests
# run without one) would lend the program its displayless desktop: that session of the build's
# own prefix ends first, and is ended if it lingers.
timeout 20 /usr/lib/wine/wineserver -w || /usr/lib/wine/wineserver -k
DISPLAY=":$display" timeout 240 /usr/lib/wine/wine64 "$@"
status=$?
timeout 20 /usr/lib/wine/wineserver -w || /usr/lib/wine/wineserver -k  # nor lend this one
exit $status
