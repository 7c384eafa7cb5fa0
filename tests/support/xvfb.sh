# A private X server for a test: Xvfb chooses a free display itself (-displayfd), so tests that
# run at the same time never race for one. Sourced.
#   start_xvfb WIDTHxHEIGHTxDEPTH   sets xvfb (its pid, a process group leader) and display (":N")
# End it with: kill -TERM -- "-$xvfb"
start_xvfb() {
    local screen=$1 chosen
    chosen=$(mktemp)
    setsid timeout -k 5 300 Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp \
        3>"$chosen" >/dev/null 2>&1 &
    xvfb=$!
    display=
    for _ in $(seq 100); do
        if [ -s "$chosen" ]; then
            display=":$(tr -d '[:space:]' <"$chosen")"
            break
        fi
        sleep 0.1
    done
    rm -f "$chosen"
    [ -n "$display" ]
}
