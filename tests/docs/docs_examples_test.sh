#!/usr/bin/env bash
# The command-line examples of the documentation, run as written with the program just built: a
# table of each example's exit status and the first line it prints, for docs/command-line.md and
# the Windows README; then rebuilding a file without Tessarel.
#   docs_examples_test.sh BUILD_DIR              the Linux program
#   docs_examples_test.sh BUILD_DIR TESSAREL_EXE the Windows program, under wine (the table only)
set -euo pipefail
build=$(cd "$1" && pwd)
exe=${2:-}
root=$(cd "$(dirname "$0")/../.." && pwd)
doc=$root/docs/command-line.md
export PATH="$build/bin:$PATH"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() {
    echo "FAIL: $*"
    exit 1
}
# The program as the documentation names it: tessarel, or tessarel.exe under wine.
tessarel() {
    if [ -n "$exe" ]; then
        WINEDEBUG=-all timeout 120 "${WINE:-/usr/lib/wine/wine64}" "$exe" "$@"
    else
        timeout 120 "$build/bin/tessarel" "$@"
    fi
}

# The inputs, made once and copied into a fresh folder for each example.
mkdir inputs
head -c 20000000 /dev/urandom >inputs/report.pdf   # two mail pieces
head -c 1200000 /dev/urandom >inputs/film.mkv      # smaller than one FAT32 piece
cp inputs/film.mkv inputs/movie.mkv
# What was there before an example ran: a series of it, sent on without its source.
setup() {
    case "$1" in
    -) ;;
    sent) tessarel split -n 3 "$2" >/dev/null 2>&1 && rm "$2" ;;
    recovered) tessarel split -s mail25 -r 2 "$2" >/dev/null 2>&1 && rm "$2" "$2.m01" ;;
    checked) tessarel split -n 12 "$2" >/dev/null 2>&1 ;;
    esac
}
# Each example: the file it is in, what was there before, the command line as written after
# "tessarel ", its exit status, and the start of the first line it prints (standard error, or
# standard output when that is all it says).
examples() {
    cat <<'TABLE'
docs/command-line.md|-|split -s fat32 film.mkv|1|tessarel: The size you have specified to split is larger than or equal to file size.
docs/command-line.md|-|split -s mail25 report.pdf|0| Will split into  2 files.
docs/command-line.md|sent report.pdf|join report.pdf.m00|0| Will need  3 files to join.
docs/command-line.md|checked film.mkv|check film.mkv.m00|0|film.mkv.m00: good, 100002 bytes, contents as listed
docs/command-line.md|-|split -s mail25 -r 2 report.pdf|0| Will split into  2 files.
docs/command-line.md|-|split -s fat32 -r 10% film.mkv|1|tessarel: The size you have specified to split is larger than or equal to file size.
docs/command-line.md|recovered report.pdf|check report.pdf.m00|3|report.pdf.m00: good, 18000000 bytes, contents as listed
docs/command-line.md|recovered report.pdf|join report.pdf.m00|0| Will need  2 files to join.
docs/command-line.md|recovered report.pdf|repair report.pdf.m00|0|Will rebuild report.pdf.m01 from the other pieces, and put it in place.
docs/command-line.md|-|splt film.mkv|2|tessarel: unknown command 'splt' (split, join, check, repair)
packaging/windows/README.txt|-|split -s fat32 movie.mkv|1|tessarel: The size you have specified to split is larger than or equal to file size.
packaging/windows/README.txt|-|split -s mail25 -r 2 report.pdf|0| Will split into  2 files.
packaging/windows/README.txt|sent movie.mkv|join movie.mkv.m00|0| Will need  3 files to join.
packaging/windows/README.txt|checked movie.mkv|check movie.mkv.m00|0|movie.mkv.m00: good, 100002 bytes, contents as listed
packaging/windows/README.txt|recovered report.pdf|repair report.pdf.m00|0|Will rebuild report.pdf.m01 from the other pieces, and put it in place.
packaging/windows/README.txt|-|--help|0|Usage:
TABLE
}
n=0
while IFS='|' read -r file before line status first; do
    grep -qF "tessarel $line" "$root/$file" || fail "'tessarel $line' is not an example of $file"
    n=$((n + 1))
    mkdir "run$n" && cp inputs/* "run$n/" && cd "run$n"
    read -r -a args <<<"$line"
    setup ${before}
    got=0
    tessarel "${args[@]}" >out.txt 2>err.txt </dev/null || got=$?
    # (wine's own notes on what it cannot emulate are not the program's)
    said=$(cat err.txt out.txt | tr -d '\r' | grep -v '^wine: ' | sed -n '/./{p;q}' || true)
    said=${said#./}
    said=${said#.\\}
    [ "$got" -eq "$status" ] || fail "'tessarel $line' ($file): status $got, not $status: $said"
    case "$said" in
    "$first"*) ;;
    *) fail "'tessarel $line' ($file) says '$said', not '$first'" ;;
    esac
    cd "$work"
done < <(examples)
[ -z "$exe" ] || { echo "the $n examples ran as written under wine"; exit 0; }
cd "$work"
example() {
    grep -qF "    $* " "$doc" || fail "'$*' is not an example of $doc"
    "$@" >/dev/null 2>"$work/err" || fail "'$*': $(cat "$work/err")"
}

head -c 40000000 /dev/urandom >report.pdf
example tessarel split -s mail25 report.pdf
test "$(stat -c %s report.pdf.m00)" -eq 18000000 || fail "a mail piece is not 18,000,000 bytes"
mv report.pdf sent.pdf
example tessarel join report.pdf.m00
cmp report.pdf sent.pdf

# Twelve pieces, so the order past .m09 counts.
head -c 1200000 /dev/urandom >film.mkv
tessarel split -n 12 film.mkv >/dev/null 2>&1
example tessarel check film.mkv.m00
mv film.mkv sent.mkv
# The documented commands for Linux: the block after its marker.
awk '/<!-- rebuild: posix -->/ { marked = 1; next }
     marked && /^```sh/ { inside = 1; next }
     inside && /^```/ { exit }
     inside { print }' "$doc" >rebuild.sh
test -s rebuild.sh || fail "no rebuilding commands found in $doc"
bash -euo pipefail rebuild.sh >"$work/out" || fail "the rebuilding commands: $(cat "$work/out")"
cmp film.mkv sent.mkv
grep -q '^film.mkv: OK$' "$work/out" || fail "sha256sum did not check the rebuilt file"
echo "the examples ran as written, and the file rebuilt without Tessarel is exact"
