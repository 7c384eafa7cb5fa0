#!/usr/bin/env bash
# Whole-process split and join through the command line against GNU split and cat on the same
# file in the same run, each also with its output flushed (sync FILE...), since Tessarel flushes
# what it writes before it reports success. Medians of RUNS runs; the page cache is warm.
#   bench/cli_bench.sh [MiB [folder [runs]]]     defaults: 1024 MiB, /tmp, 5 runs
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
program=$here/build/bin/tessarel
mib=${1:-1024}
folder=${2:-/tmp}
runs=${3:-5}
[ -x "$program" ] || { echo "build first: ./tessarel.sh test" >&2; exit 2; }
work=$(mktemp -d "$folder/tessarel-cli-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
head -c $((mib << 20)) /dev/urandom >"$work/source.bin"
bytes=$(stat -c %s "$work/source.bin")
piece=$(((bytes + 20 + 99) / 100))  # the size --pieces 100 picks

now() { date +%s.%N; }
declare -A times
timed() {  # name command...
    local name=$1; shift
    sync
    local start; start=$(now)
    "$@" >/dev/null 2>&1
    times[$name]+="$(awk -v a="$(now)" -v b="$start" 'BEGIN {print a - b}') "
}
median() { tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

for _ in $(seq "$runs"); do
    rm -f "$work"/series.* "$work"/joined "$work"/part.* "$work"/catted
    timed "tessarel split" "$program" split --pieces 100 "$work/source.bin" "$work/series.m00"
    timed "split -b" split -b "$piece" -d -a 2 "$work/source.bin" "$work/part."
    timed "split -b + sync" bash -c "rm -f '$work'/part.*; split -b $piece -d -a 2 '$work/source.bin' '$work/part.' && sync '$work'/part.*"
    timed "tessarel join" "$program" join --yes "$work/series.m00" "$work/joined"
    timed "cat" bash -c "cat '$work'/part.* >'$work/catted'"
    timed "cat + sync" bash -c "cat '$work'/part.* >'$work/catted' && sync '$work/catted'"
    cmp -s "$work/source.bin" "$work/joined" || { echo "joined file differs" >&2; exit 1; }
done

printf 'file %d MiB, 100 pieces, %d runs, medians (seconds; ratio = time / baseline)\n' "$mib" "$runs"
for pair in "tessarel split:split -b:split -b + sync" "tessarel join:cat:cat + sync"; do
    IFS=: read -r ours plain flushed <<<"$pair"
    t=$(median "${times[$ours]}"); p=$(median "${times[$plain]}"); f=$(median "${times[$flushed]}")
    printf '%-16s %7.3f   %-16s %7.3f (%.2fx)   %-16s %7.3f (%.2fx)\n' "$ours" "$t" "$plain" "$p" \
        "$(awk -v a="$t" -v b="$p" 'BEGIN {print a / b}')" "$flushed" "$f" \
        "$(awk -v a="$t" -v b="$f" 'BEGIN {print a / b}')"
done
