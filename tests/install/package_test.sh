#!/usr/bin/env bash
# Builds the Debian package, installs it, starts the installed program and removes the package
# again.   package_test.sh BUILD_DIR
# Installing a package needs root; as anyone else the test is skipped (exit 77).
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/start_check.sh"
if [ "$(id -u)" -ne 0 ]; then
    echo "skipped: installing a package needs root"
    exit 77
fi
if dpkg-query -W -f='${Status}' tessarel 2>/dev/null | grep -q 'install ok installed'; then
    echo "skipped: a tessarel package is installed already; not touching it"
    exit 77
fi
work=$(mktemp -d)
trap 'dpkg -r tessarel >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null)
deb=$(ls "$work"/out/tessarel_*.deb)
dpkg-deb -f "$deb" Depends | tee "$work/depends"
grep -q libqt6widgets6 "$work/depends"
# Debian's own checks of the package find no error and no warning.
lintian --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1 || true
if grep -q '^[EW]:' "$work/lintian.txt"; then
    echo "FAIL: lintian finds faults in the package:"
    cat "$work/lintian.txt"
    exit 1
fi
dpkg -i "$deb" >/dev/null
[ -f /usr/share/kio/servicemenus/org.tessarel.Tessarel.split.desktop ] ||
    { echo "FAIL: the package has no Dolphin service menu"; exit 1; }
# The package's trigger has brought the file type into the system's database.
printf 'KESTRAVOLN0000001000%0100d' 0 >"$work/movie.m00"
type=$("$build/bin/mime_type" "$work/movie.m00")
if [ "$type" != application/x-tessarel-series ]; then
    echo "FAIL: after installing, a first piece is $type"
    exit 1
fi
start_check /usr/bin/tessarel /usr/bin/../share/tessarel/filedisk.avi "$work"
dpkg -r tessarel >/dev/null
for f in /usr/bin/tessarel /usr/share/tessarel /usr/share/applications/org.tessarel.Tessarel.desktop \
         /usr/share/mime/packages/org.tessarel.Tessarel.xml /usr/share/mime/application/x-tessarel-series.xml \
         /usr/share/man/man1/tessarel.1.gz /usr/share/bash-completion/completions/tessarel; do
    if [ -e "$f" ]; then
        echo "FAIL: $f is left after removal"
        exit 1
    fi
done
echo "package built, installed, started and removed"
