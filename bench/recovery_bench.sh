#!/usr/bin/env bash
# What recovery pieces cost, against a split without them and against par2, in one run:
#   bench/recovery_bench.sh [MiB [folder [runs]]]     defaults: 1024, /tmp, 3
# A file of MiB random bytes is split into 100 pieces without and with 10 recovery pieces, joined
# plainly and with one piece missing (rebuilt on the fly), and given 10 % recovery data by
# Debian's par2 (once: it is slow). Every timed step starts after a sync, with the page cache
# warm. Prints medians, the ratios the recovery pieces cost, and each step's peak memory.
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
# time_step NAME COMMAND...: one run of a step, its wall time and peak memory noted.
time_step() {
    local name=$1
    shift
    sync
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>"$work/err" ||
        { echo "bench: $name failed: $(cat "$work/err")" >&2; exit 1; }
    read -r wall kib <"$work/time"
    seconds[$name]+="$wall "
    memory[$name]=$kib
}
clean() { rm -f "$work"/film.bin.m* "$work"/film.bin.r* "$work"/film.bin.sha256 "$work"/back; }

for _ in $(seq "$runs"); do
    clean
    time_step "split" "$program" split -y -n 100 "$work/film.bin"
    time_step "join" "$program" join -y "$work/film.bin.m00" "$work/back"
    clean
    time_step "split with 10 recovery pieces" "$program" split -y -n 100 -r 10 "$work/film.bin"
    time_step "join" "$program" join -y "$work/film.bin.m00" "$work/back"
    rm "$work/film.bin.m49" "$work/back"  # every join writes a new file
    time_step "join rebuilding a piece" "$program" join -y "$work/film.bin.m00" "$work/back"
    cmp -s "$work/film.bin" "$work/back" || { echo "bench: the rebuilt join differs" >&2; exit 1; }
done
if command -v par2 >/dev/null; then
    clean
    time_step "par2 create -r10" par2 create -q -q -r10 "$work/film.bin.par2" "$work/film.bin"
fi

median() { tr ' ' '\n' <<<"$1" | sed '/^$/d' | sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
echo "file $mib MiB in $folder, 100 pieces, $runs runs, medians"
printf '%-32s %9s %9s %12s\n' "" seconds "MB/s" "peak memory"
for name in "split" "split with 10 recovery pieces" "join" "join rebuilding a piece" \
    "par2 create -r10"; do
    [ -n "${seconds[$name]:-}" ] || continue
    s=$(median "${seconds[$name]}")
    printf '%-32s %9.2f %9.1f %9d KiB\n' "$name" "$s" "$(echo "$mib * 1.048576 / $s" | bc -l)" \
        "${memory[$name]}"
done
split_s=$(median "${seconds[split]}")
recovery_s=$(median "${seconds[split with 10 recovery pieces]}")
echo "recovery pieces cost: split $(echo "$recovery_s / $split_s" | bc -l | cut -c1-4)x," \
    "a rebuilding join $(echo "$(median "${seconds[join rebuilding a piece]}") / $(median "${seconds[join]}")" | bc -l | cut -c1-4)x"
if [ -n "${seconds[par2 create -r10]:-}" ]; then
    echo "against par2 create -r10: $(echo "$(median "${seconds[par2 create -r10]}") / $recovery_s" | bc -l | cut -c1-5)x as fast"
fi
