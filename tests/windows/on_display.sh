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
# TESSAREL_DPI: the screen's DPI for this run (wine reads it at start), set back afterwards.
if [ -n "${TESSAREL_DPI:-}" ]; then
    dpi_key='HKCU\Control Panel\Desktop'
    timeout 60 /usr/lib/wine/wine64 reg add "$dpi_key" /v LogPixels /t REG_DWORD \
        /d "$TESSAREL_DPI" /f >/dev/null 2>&1
    timeout 20 /usr/lib/wine/wineserver -w || /usr/lib/wine/wineserver -k
fi
DISPLAY="$display" timeout 240 /usr/lib/wine/wine64 "$@"
status=$?
if [ -n "${TESSAREL_DPI:-}" ]; then
    timeout 20 /usr/lib/wine/wineserver -w || /usr/lib/wine/wineserver -k
    timeout 60 /usr/lib/wine/wine64 reg add "$dpi_key" /v LogPixels /t REG_DWORD /d 96 /f \
        >/dev/null 2>&1
fi
timeout 20 /usr/lib/wine/wineserver -w || /usr/lib/wine/wineserver -k  # nor lend this one
exit $status
