#!/usr/bin/env bash
# The Windows program's command line under wine, as a Windows user would use it: names in several
# scripts, a name Windows keeps for itself, a missing and a damaged piece, the exit statuses; and a
# series split on Linux joins byte-exact under wine, and the other way round.
#   command_line_test.sh TESSAREL_EXE [LINUX_TESSAREL]
set -uo pipefail
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
linux=${2:-}
export WINEDEBUG=-all
wine=${WINE:-/usr/lib/wine/wine64}
export WINEPREFIX=${WINEPREFIX:-$(cd "$(dirname "$exe")/.." && pwd)/wineprefix}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# Runs the program under wine in the work folder, with a deadline; stdout and stderr go to
# out.txt and err.txt (line ends as a Linux tool writes them), the status is returned.
run() {
    (cd "$work/$folder" && timeout 120 "$wine" "$exe" "$@" >"$work/out.raw" 2>"$work/err.raw")
    local status=$?
    tr -d '\r' <"$work/out.raw" >"$work/out.txt"
    tr -d '\r' <"$work/err.raw" >"$work/err.txt"
    return $status
}
expect_status() {
    local want=$1 what=$2
    shift 2
    run "$@"
    local got=$?
    [ "$got" -eq "$want" ] || fail "$what: status $got, not $want ($(cat "$work/err.txt"))"
}

folder="ünï 名前"
mkdir -p "$work/$folder"
head -c 250000 /dev/urandom >"$work/$folder/données.bin"
cp "$work/$folder/données.bin" "$work/original.bin"

expect_status 0 "split" split --kb 100 "données.bin"
[ -f "$work/$folder/données.bin.m02" ] || fail "split: no third piece"
expect_status 0 "check" check "données.bin.m00"
grep -q "données.bin.m01: good, 102400 bytes, contents as listed" "$work/out.txt" ||
    fail "check: $(cat "$work/out.txt")"
(cd "$work/$folder" && sha256sum -c --quiet --ignore-missing "données.bin.sha256") ||
    fail "the list is not one sha256sum accepts"
rm "$work/$folder/données.bin"
expect_status 0 "join" join "données.bin.m00"
cmp -s "$work/original.bin" "$work/$folder/données.bin" || fail "join: not byte-exact"

expect_status 1 "a reserved name" split --kb 100 "données.bin" CON
grep -q "CON.m00: That filename is illegal." "$work/err.txt" || fail "reserved name: $(cat "$work/err.txt")"
[ ! -e "$work/$folder/CON.m00" ] || fail "reserved name: something was written"

cp "$work/$folder/données.bin.m01" "$work/keep"
printf 'X' | dd of="$work/$folder/données.bin.m01" bs=1 seek=5000 conv=notrunc status=none
expect_status 1 "a damaged piece" join --yes "données.bin.m00" back.bin
grep -q "données.bin.m01 is damaged" "$work/err.txt" || fail "damaged: $(cat "$work/err.txt")"
[ ! -e "$work/$folder/back.bin" ] || fail "damaged: the join left a file"
mv "$work/keep" "$work/$folder/données.bin.m01"
rm "$work/$folder/données.bin.m02"
expect_status 1 "a missing piece" join --yes "données.bin.m00" back.bin
grep -qx "tessarel: The piece données.bin.m02 is missing." "$work/err.txt" ||
    fail "missing: $(cat "$work/err.txt")"
expect_status 2 "a usage error" split --size 12q "données.bin"
# A mistyped command is said in a line, not handed to the window program.
expect_status 2 "a mistyped command" bogus x
[ "$(cat "$work/err.txt")" = "tessarel: unknown command 'bogus' (split, join, check, repair)
Try 'tessarel --help'." ] || fail "a mistyped command: $(cat "$work/err.txt")"

# Numbered sets of other tools, from any member, with a gap named; our own plain pieces too.
folder=sets
mkdir -p "$work/$folder"
(cd "$work/$folder" && split -b 100000 -d -a 3 --numeric-suffixes=1 ../original.bin f.bin. &&
    split -b 100000 ../original.bin f.tar. &&
    for i in 0 1 2; do dd if=../original.bin of=g.iso.$i bs=100000 skip=$i count=1 status=none; done)
for member in f.bin.001 f.bin.003 f.tar.ab g.iso.2; do
    expect_status 0 "a join of $member" join --yes "$member"
    grep -q "Nothing was compared" "$work/err.txt" || fail "$member: $(cat "$work/err.txt")"
    out=${member%.*}
    cmp -s "$work/original.bin" "$work/$folder/$out" || fail "$member: not byte-exact"
done
(cd "$work/$folder" && sha256sum f.bin.00? >f.bin.sha256)
printf 'X' | dd of="$work/$folder/f.bin.002" bs=1 seek=5 conv=notrunc status=none
expect_status 1 "a set member that differs from its list" join --yes f.bin.003 back.bin
grep -q "f.bin.002" "$work/err.txt" || fail "set list: $(cat "$work/err.txt")"
rm "$work/$folder/f.bin.002"
expect_status 1 "a gap in a set" join --yes f.bin.001 back.bin
grep -q "f.bin.002 is missing" "$work/err.txt" || fail "gap: $(cat "$work/err.txt")"
[ ! -e "$work/$folder/back.bin" ] || fail "a refused set join left a file"
expect_status 0 "a plain numbered split" split --numbered --size 100000 -r 1 ../original.bin own
(cd "$work/$folder" && cat own.001 own.002 own.003 | cmp -s - ../original.bin) ||
    fail "the plain pieces joined by cat differ"
rm "$work/$folder/own.001"
expect_status 0 "a plain numbered join that rebuilds" join own.002 own.back
cmp -s "$work/original.bin" "$work/$folder/own.back" || fail "plain pieces rebuilt: not exact"

# Ctrl-C (wine hands SIGINT to the console's control handler) stops cleanly, with 130.
head -c $((100 << 20)) /dev/urandom >"$work/$folder/big.bin"
before=$(ls -A "$work/$folder" | sort)
(cd "$work/$folder" && exec "$wine" "$exe" split --size 2000000 big.bin s >/dev/null 2>"$work/err.txt") &
pid=$!
for _ in $(seq 200); do
    # A piece being written (not the lock, which comes first): the copy has begun.
    ls -A "$work/$folder" | grep -Eq 'tessarel-[a-z0-9]{6}$' && break
    sleep 0.05
done
kill -INT "$pid"
wait "$pid"
status=$?
[ "$status" -eq 130 ] || fail "Ctrl-C: status $status, not 130"
grep -q "stopped; nothing was changed" "$work/err.txt" || fail "Ctrl-C: $(cat "$work/err.txt")"
[ "$(ls -A "$work/$folder" | sort)" = "$before" ] ||
    fail "Ctrl-C left something behind: $(ls -A "$work/$folder" | sort | tr '\n' ' ')"
rm "$work/$folder/big.bin"

if [ -n "$linux" ]; then
    folder=across
    mkdir -p "$work/$folder"
    cp "$work/original.bin" "$work/$folder/f.bin"
    (cd "$work/$folder" && "$linux" split --size 70000 f.bin s >/dev/null 2>&1) ||
        fail "the Linux split"
    expect_status 0 "a join under wine of a Linux series" join s.m00 back.bin
    cmp -s "$work/original.bin" "$work/$folder/back.bin" || fail "Linux -> wine: not exact"
    rm -f "$work/$folder"/s.* "$work/$folder/back.bin"
    expect_status 0 "a split under wine" split --size 70000 f.bin s
    (cd "$work/$folder" && "$linux" join s.m00 back.bin >/dev/null 2>&1) || fail "the Linux join"
    cmp -s "$work/original.bin" "$work/$folder/back.bin" || fail "wine -> Linux: not exact"

    # Recovery pieces made on one system rebuild lost pieces on the other.
    rm -f "$work/$folder"/s.* "$work/$folder/back.bin"
    (cd "$work/$folder" && "$linux" split --size 70000 --recovery 2 f.bin s >/dev/null 2>&1) ||
        fail "the Linux split with recovery pieces"
    rm "$work/$folder/s.m00" "$work/$folder/s.r00"  # the first piece too
    expect_status 3 "a check under wine of a series to rebuild" check s.m00
    expect_status 0 "a join under wine that rebuilds" join s.m00 back.bin
    cmp -s "$work/original.bin" "$work/$folder/back.bin" || fail "Linux -> wine rebuilt: not exact"
    rm -f "$work/$folder/back.bin"
    expect_status 0 "a join under wine from a later piece, the first lost" join s.m03 back.bin
    cmp -s "$work/original.bin" "$work/$folder/back.bin" || fail "from a later piece: not exact"
    rm -f "$work/$folder"/s.* "$work/$folder/back.bin"
    expect_status 0 "a split under wine with recovery pieces" split --size 70000 -r 1 f.bin s
    # The same series, byte for byte, on both systems: pieces, recovery pieces and list.
    mkdir -p "$work/$folder/linux"
    cp "$work/original.bin" "$work/$folder/linux/f.bin"
    (cd "$work/$folder/linux" && "$linux" split --size 70000 -r 1 f.bin s >/dev/null 2>&1) ||
        fail "the Linux split with a recovery piece"
    for made in "$work/$folder/linux"/s.*; do
        cmp -s "$made" "$work/$folder/$(basename "$made")" ||
            fail "$(basename "$made") differs between the two systems"
    done
    printf 'X' | dd of="$work/$folder/s.m02" bs=1 seek=10 conv=notrunc status=none
    (cd "$work/$folder" && "$linux" join s.m00 back.bin >/dev/null 2>&1) ||
        fail "the Linux join that rebuilds"
    cmp -s "$work/original.bin" "$work/$folder/back.bin" || fail "wine -> Linux rebuilt: not exact"
fi

[ "$failures" -eq 0 ] && echo "all passed"
exit $((failures > 0))
