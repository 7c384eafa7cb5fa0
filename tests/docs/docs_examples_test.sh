#!/usr/bin/env bash
# The command-line examples of the documentation, run as written with the program just built:
# the two jobs, and rebuilding a file without Tessarel.   docs_examples_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
doc=$(cd "$(dirname "$0")/../../docs" && pwd)/command-line.md
export PATH="$build/bin:$PATH"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() {
    echo "FAIL: $*"
    exit 1
}
# Each line is in the documentation exactly, and does what it says.
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
