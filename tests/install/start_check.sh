# Starts an installed Tessarel on a private X server and checks that its main window appears
# and that it opened its animation clip. Sourced by the install and package tests.
#   start_check PROGRAM EXPECTED_CLIP_PATH WORK_DIR
#
# Everything started here has a bounded life and is ended by its own process group: the X
# server, and the program with its private session bus and everything the bus starts for it.

source "$(dirname "${BASH_SOURCE[0]}")/../support/xvfb.sh"

# Ends the process group led by pid $1 and reaps its leader, waiting at most a few seconds.
end_group() {
    local leader=$1
    kill -TERM -- "-$leader" 2>/dev/null || true
    for _ in $(seq 50); do
        kill -0 "$leader" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL -- "-$leader" 2>/dev/null || true
    wait "$leader" 2>/dev/null || true
}

start_check() {
    local program=$1 clip=$2 work=$3 display="" xvfb
    if ! start_xvfb 800x600x24; then
        end_group "$xvfb"
        echo "FAIL: the X server did not come up within 10 s"
        return 1
    fi
    # Started from another folder: the program must find its clip from where it lies itself.
    # Its own session bus: with none, Qt would have D-Bus start one that outlives the test.
    (cd / && DISPLAY=$display QT_QPA_PLATFORM=xcb exec setsid timeout -k 5 60 \
        dbus-run-session -- strace -f -e trace=openat -o "$work/trace" "$program") \
        >"$work/program.log" 2>&1 &
    local app=$!
    local shown=1
    for _ in $(seq 150); do
        if DISPLAY=$display xwininfo -root -tree 2>/dev/null | grep -q '"Tessarel"'; then
            shown=0
            break
        fi
        kill -0 "$app" 2>/dev/null || break
        sleep 0.1
    done
    end_group "$app"
    end_group "$xvfb"
    if [ $shown -ne 0 ]; then
        echo "FAIL: no window titled Tessarel appeared within 15 s"
        cat "$work/program.log"
        return 1
    fi
    if ! grep -F "\"$clip\"" "$work/trace" | grep -vq ENOENT; then
        echo "FAIL: the program did not open $clip"
        grep filedisk "$work/trace" || true
        return 1
    fi
    echo "window shown, clip opened: $clip"
}
