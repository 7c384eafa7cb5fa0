#!/usr/bin/env bash
# The window's latency while it splits and joins, and Cancel to idle, on this machine's disk
# (2 GiB, flushing) and on a slow medium (256 MiB onto a file system that takes 20 MB/s and
# whose fsync waits for it: bench/slowfs.py, on FUSE).
#   bench/window_latency.sh [local MiB [slow MiB [folder]]]    defaults: 2048, 256, /tmp
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
program=$here/build/bin/window_latency
[ -x "$program" ] || { echo "build first: ./tessarel.sh test" >&2; exit 2; }
local_mib=${1:-2048}
slow_mib=${2:-256}
folder=${3:-/tmp}
export QT_QPA_PLATFORM=offscreen

"$program" "$folder" "$local_mib"

mount=$(mktemp -d "$folder/tessarel-slowfs-XXXXXX")
/usr/bin/python3 "$here/bench/slowfs.py" "$mount" 20 &
fs_pid=$!
cleanup() {
    fusermount -u "$mount" 2>/dev/null || true
    wait "$fs_pid" 2>/dev/null || true
    rmdir "$mount"
}
trap cleanup EXIT
for _ in $(seq 100); do mountpoint -q "$mount" && break; sleep 0.1; done
mountpoint -q "$mount" || { echo "the slow file system did not mount" >&2; exit 1; }
"$program" "$mount" "$slow_mib"
