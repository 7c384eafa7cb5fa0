#!/usr/bin/env bash
# What recovery pieces cost, against a series without them and against par2, in one run:
#   bench/recovery_bench.sh [MiB [folder [runs]]]     defaults: 1024, /tmp, 3
# A file of MiB random bytes is split into 100 pieces without and with 10 recovery pieces; each
# series is joined and checked; the one with recovery pieces is joined with one piece missing
# (rebuilt on the fly) and checked with a byte flipped in each of 20 pieces (found stripe by
# stripe). Debian's par2 gives the same file 10 % recovery data and repairs a piece's worth of
# damage (once: it is slow). Every timed step starts after a sync, with the page cache warm.
# Prints medians, the ratios against the baselines measured here, and each step's peak memory.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
program=$here/build/bin/tessarel
[ -x "$program" ] || { echo "build first: ./tessarel.sh test" >&2; exit 2; }
mib=${1:-1024}
folder=${2:-/tmp}
runs=${3:-3}
work=$(mktemp -d "$folder/tessarel-recovery-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
head -c $((mib << 20)) /dev/urandom >"$work/film.bin"
cat "$work/film.bin" >/dev/null

declare -A seconds memory
# time_step NAME COMMAND...: one run of a step, its wall time and peak memory noted. A status of
# 3 (check: not whole, can be rebuilt) is what the damaged check is expected to give.
time_step() {
    local name=$1
    shift
    sync
    local status=0
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>"$work/err" || status=$?
    if [ "$status" -ne 0 ] && [ "$status" -ne 3 ]; then
        echo "bench: $name failed ($status): $(cat "$work/err")" >&2
        exit 1
    fi
    read -r wall kib <<<"$(tail -1 "$work/time")"
    seconds[$name]+="$wall "
    memory[$name]=$kib
}
clean() { rm -f "$work"/film.bin.m* "$work"/film.bin.r* "$work"/film.bin.sha256 "$work"/back; }
# flip FILE OFFSET: one byte of FILE changed in place.
flip() { printf '\xa5' | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }

for _ in $(seq "$runs"); do
    clean
    time_step "split" "$program" split -y -n 100 "$work/film.bin"
    time_step "join" "$program" join -y "$work/film.bin.m00" "$work/back"
    rm "$work/back"
    time_step "check" "$program" check "$work/film.bin.m00"
    clean
    time_step "split, 10 recovery pieces" "$program" split -y -n 100 -r 10 "$work/film.bin"
    time_step "join, recovery pieces there" "$program" join -y "$work/film.bin.m00" "$work/back"
    rm "$work/back"
    time_step "check, recovery pieces there" "$program" check "$work/film.bin.m00"
    cp "$work/film.bin.m49" "$work/kept"
    rm "$work/film.bin.m49"
    time_step "join rebuilding a piece" "$program" join -y "$work/film.bin.m00" "$work/back"
    cmp -s "$work/film.bin" "$work/back" || { echo "bench: the rebuilt join differs" >&2; exit 1; }
    rm "$work/back"
    mv "$work/kept" "$work/film.bin.m49"
    piece=$(stat -c %s "$work/film.bin.m01")
    for n in $(seq 1 20); do
        flip "$work/film.bin.m$(printf %02d $((n * 4)))" $(((n * 7919 * 4096) % piece))
    done
    time_step "check finding 20 damaged pieces" "$program" check "$work/film.bin.m00"
done
if command -v par2 >/dev/null; then
    clean
    time_step "par2 create -r10" par2 create -q -q -r10 "$work/film.bin.par2" "$work/film.bin"
    cp "$work/film.bin" "$work/kept"
    dd if=/dev/urandom of="$work/film.bin" bs=$(((mib << 20) / 100)) count=1 \
        seek=49 conv=notrunc status=none
    time_step "par2 repair of a piece" par2 repair -q -q "$work/film.bin.par2"
    cmp -s "$work/film.bin" "$work/kept" || { echo "bench: par2's repair differs" >&2; exit 1; }
    rm -f "$work"/film.bin*.par2 "$work/film.bin.1"
fi

median() { tr ' ' '\n' <<<"$1" | sed '/^$/d' | sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
ratio() { echo "$(median "${seconds[$1]}") / $(median "${seconds[$2]}")" | bc -l | cut -c1-5; }
echo "file $mib MiB in $folder, 100 pieces, $runs runs, medians"
printf '%-34s %9s %9s %12s\n' "" seconds "MB/s" "peak memory"
for name in "split" "split, 10 recovery pieces" "join" "join, recovery pieces there" \
    "join rebuilding a piece" "check" "check, recovery pieces there" \
    "check finding 20 damaged pieces" "par2 create -r10" "par2 repair of a piece"; do
    [ -n "${seconds[$name]:-}" ] || continue
    s=$(median "${seconds[$name]}")
    printf '%-34s %9.2f %9.1f %9d KiB\n' "$name" "$s" "$(echo "$mib * 1.048576 / $s" | bc -l)" \
        "${memory[$name]}"
done
echo "recovery pieces cost: split $(ratio "split, 10 recovery pieces" split)x," \
    "a rebuilding join $(ratio "join rebuilding a piece" join)x," \
    "a check by stripes $(ratio "check, recovery pieces there" check)x" \
    "($(ratio "check finding 20 damaged pieces" check)x with 20 pieces damaged)"
if [ -n "${seconds[par2 create -r10]:-}" ]; then
    echo "against par2: creating $(ratio "par2 create -r10" "split, 10 recovery pieces")x as fast," \
        "repairing $(ratio "par2 repair of a piece" "join rebuilding a piece")x as fast"
fi
