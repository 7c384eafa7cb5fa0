#!/usr/bin/env bash
# Installs the build into an empty prefix, validates the desktop entry and the metainfo, and
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
appstreamcli validate --no-net "$share/metainfo/org.tessarel.Tessarel.metainfo.xml"
for size in 32 48 64 128 256; do
    test -s "$share/icons/hicolor/${size}x${size}/apps/tessarel.png"
done
start_check "$work/prefix/bin/tessarel" "$work/prefix/bin/../share/tessarel/filedisk.avi" "$work"
