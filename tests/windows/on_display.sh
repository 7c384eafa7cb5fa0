#!/usr/bin/env bash
# Runs a Windows program under wine on a virtual display of its own (Xvfb), ended by its pid
# whatever happens; the program's status is the script's.
#   on_display.sh PROGRAM.exe [ARGS...]
set -uo pipefail
export WINEDEBUG=-all
export WINEPREFIX=${WINEPREFIX:-$(cd "$(dirname "$1")/.." && pwd)/wineprefix}
source "$(dirname "$0")/../support/xvfb.sh"
start_xvfb 1280x1024x24 || { echo "no X server"; exit 1; }
trap 'kill -TERM -- "-$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null' EXIT
# A wine session started without a display (the build runs its tools under wine, the core tests
# run without one) would lend the program its displayless desktop: that session of the build's
# own prefix ends first, and is ended if it lingers.
timeout 20 /usr/lib/wine/wineserver -w || /usr/lib/wine/wineserver -k
DISPLAY="$display" timeout 240 /usr/lib/wine/wine64 "$@"
status=$?
timeout 20 /usr/lib/wine/wineserver -w || /usr/lib/wine/wineserver -k  # nor lend this one
exit $status
