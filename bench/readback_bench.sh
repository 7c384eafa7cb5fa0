#!/usr/bin/env bash
# What reading back from the medium costs, in one run, against baselines measured here:
#   bench/readback_bench.sh [MiB [folder [runs]]]     defaults: 1024, /tmp, 3
# A file of MiB random bytes is split into 100 pieces with and without --verify-written; the
# read-back alone is set against `dd iflag=direct` of the same pieces (the medium's own pace);
# and check of the series from the cache against `sha256sum -c` of its list. Medians.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
program=$here/build/bin/tessarel
[ -x "$program" ] || { echo "build first: ./tessarel.sh test" >&2; exit 2; }
mib=${1:-1024}
folder=${2:-/tmp}
runs=${3:-3}
work=$(mktemp -d "$folder/tessarel-readback-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/series"
head -c $((mib << 20)) /dev/urandom >"$work/film.bin"

declare -A seconds
time_step() {
    local name=$1
    shift
    sync
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>"$work/err" || { echo "bench: $name failed: $(cat "$work/err")" >&2; exit 1; }
    end=$(date +%s.%N)
    seconds[$name]+="$(echo "$end - $start" | bc -l) "
}
clean() { rm -f "$work"/series/*; }
direct_read() {
    for piece in "$work"/series/film.bin.m*; do
        dd if="$piece" of=/dev/null bs=1M iflag=direct status=none
    done
}

for _ in $(seq "$runs"); do
    clean
    time_step "split" "$program" split -y -n 100 --no-verify-written "$work/film.bin" "$work/series/"
    clean
    time_step "split, read back" "$program" split -y -n 100 --verify-written "$work/film.bin" \
        "$work/series/"
    time_step "dd iflag=direct of the pieces" direct_read
    time_step "check from the cache" "$program" check "$work/series/film.bin.m00"
    time_step "check --from-medium" "$program" check --from-medium "$work/series/film.bin.m00"
    time_step "sha256sum -c" bash -c "cd '$work/series' && sha256sum -c --quiet --ignore-missing film.bin.sha256"
done

median() { tr ' ' '\n' <<<"$1" | sed '/^$/d' | sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
echo "file $mib MiB in $folder, 100 pieces, $runs runs, medians"
for name in "split" "split, read back" "dd iflag=direct of the pieces" "check from the cache" \
    "check --from-medium" "sha256sum -c"; do
    printf '%-32s %8.2f s\n' "$name" "$(median "${seconds[$name]}")"
done
m() { median "${seconds[$1]}"; }
echo "read-back: a split with it $(echo "$(m "split, read back") / $(m split)" | bc -l | cut -c1-4)x" \
    "a split without; the read-back alone $(echo "($(m "split, read back") - $(m split)) / $(m "dd iflag=direct of the pieces")" | bc -l | cut -c1-4)x" \
    "dd iflag=direct"
echo "check from the cache: $(echo "$(m "sha256sum -c") / $(m "check from the cache")" | bc -l | cut -c1-4)x as fast as sha256sum -c"
