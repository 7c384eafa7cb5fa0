# Starts an installed Tessarel on a private X server and checks that its main window appears
# and that it opened its animation clip. Sourced by the install and package tests.
#   start_check PROGRAM EXPECTED_CLIP_PATH WORK_DIR
start_check() {
    local program=$1 clip=$2 work=$3 display="" n
    for n in $(seq 90 140); do
        if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
            display=":$n"
            break
        fi
    done
    [ -n "$display" ] || { echo "no free X display"; return 1; }
    Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
    local xvfb=$!
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
    # Started from another folder: the program must find its clip from where it lies itself.
    (cd / && DISPLAY=$display QT_QPA_PLATFORM=xcb exec strace -f -e trace=openat -o "$work/trace" "$program") \
        >/dev/null 2>&1 &
    local app=$!
    local shown=1
    for _ in $(seq 100); do
        if DISPLAY=$display xwininfo -root -tree 2>/dev/null | grep -q '"Tessarel"'; then
            shown=0
            break
        fi
        sleep 0.1
    done
    kill "$app" 2>/dev/null || true
    pkill -f "^$program" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
    if [ $shown -ne 0 ]; then
        echo "FAIL: no window titled Tessarel appeared"
        return 1
    fi
    if ! grep -F "\"$clip\"" "$work/trace" | grep -vq ENOENT; then
        echo "FAIL: the program did not open $clip"
        grep filedisk "$work/trace" || true
        return 1
    fi
    echo "window shown, clip opened: $clip"
}
