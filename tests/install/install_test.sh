#!/usr/bin/env bash
# Installs the build into an empty prefix, validates the desktop entries and the metainfo, and
# starts the installed program.   install_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/start_check.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
share=$work/prefix/share
desktop-file-validate "$share/applications/org.tessarel.Tessarel.desktop"
for menu in split series; do
    desktop-file-validate "$share/kio/servicemenus/org.tessarel.Tessarel.$menu.desktop"
done
grep -qx 'Exec=tessarel --split %f' "$share/kio/servicemenus/org.tessarel.Tessarel.split.desktop"
grep -qx 'MimeType=application/x-tessarel-series;' \
    "$share/kio/servicemenus/org.tessarel.Tessarel.series.desktop"
# What software centres show: valid down to AppStream's pedantic hints, and every screenshot a
# picture of docs/.
metainfo=$share/metainfo/org.tessarel.tessarel.metainfo.xml
if ! appstreamcli validate --pedantic --no-net "$metainfo" >"$work/appstream.txt" 2>&1 ||
   grep -q '^[EWIP]:' "$work/appstream.txt"; then
    echo "FAIL: appstreamcli finds issues in the metainfo:"
    cat "$work/appstream.txt"
    exit 1
fi
for picture in $(sed -n 's|.*<image>.*/docs/\(.*\)</image>.*|\1|p' "$metainfo"); do
    if [ ! -f "$here/../../docs/$picture" ]; then
        echo "FAIL: no docs/$picture for a screenshot"
        exit 1
    fi
done
for size in 16 24 32 48 64 128 256; do
    test -s "$share/icons/hicolor/${size}x${size}/apps/tessarel.png"
done
# The series' first piece is a file type the desktop knows, by name and by content, and the
# desktop entry opens such files.
grep -qx 'Exec=tessarel %f' "$share/applications/org.tessarel.Tessarel.desktop"
grep -qx 'MimeType=application/x-tessarel-series;' "$share/applications/org.tessarel.Tessarel.desktop"
update-mime-database "$share/mime"
printf 'KESTRAVOLN0000001000%0100d' 0 >"$work/movie.m00"
cp "$work/movie.m00" "$work/renamed"
for f in movie.m00 renamed; do
    type=$(XDG_DATA_DIRS="$share:/usr/share" "$build/bin/mime_type" "$work/$f")
    if [ "$type" != application/x-tessarel-series ]; then
        echo "FAIL: $f is $type, not a series' first piece"
        exit 1
    fi
done
echo "file type recognised by name and by content"
# The manual page renders without a warning; bash completes the media sizes from its completion.
man_page=$share/man/man1/tessarel.1.gz
test -s "$man_page"
MANWIDTH=80 man --warnings -l "$man_page" >"$work/man.txt" 2>"$work/man.err"
if [ -s "$work/man.err" ]; then
    echo "FAIL: the manual page renders with warnings:"
    cat "$work/man.err"
    exit 1
fi
grep -q 'fat32' "$work/man.txt"
sizes=$(bash -c 'source /usr/share/bash-completion/bash_completion
    source "$1"
    COMP_WORDS=(tessarel split --size f); COMP_CWORD=3; COMP_LINE="tessarel split --size f"
    COMP_POINT=${#COMP_LINE}
    _tessarel tessarel f --size; echo "${COMPREPLY[*]}"' - "$share/bash-completion/completions/tessarel")
if [ "$sizes" != "floppy fat32" ]; then
    echo "FAIL: --size f completes to '$sizes'"
    exit 1
fi
echo "manual page and completion installed"
start_check "$work/prefix/bin/tessarel" "$work/prefix/bin/../share/tessarel/filedisk.avi" "$work"
