#!/usr/bin/env bash
# What Windows reads from each built program before running it, read back from the .exe files
# as Explorer and the loader see them: the least Windows in the PE header, the version
# resource, the manifest and the icon's sizes.
#   resources_test.sh VERSION PROGRAM.exe...
set -euo pipefail
version=$1
shift
fail() { echo "$exe: $*"; exit 1; }
for exe in "$@"; do
    header=$(x86_64-w64-mingw32-objdump -p "$exe")
    for field in MajorOSystemVersion MajorSubsystemVersion; do
        grep -Eq "^$field[[:space:]]+10$" <<<"$header" || fail "$field is not 10"
    done
    rc=$(x86_64-w64-mingw32-windres -i "$exe" -O rc)
    # The manifest as one line of XML again: windres prints it as C strings.
    manifest=$(sed -n '/RT_MANIFEST/,/^END/p' <<<"$rc" | sed -n 's/^ *"\(.*\)\\n"$/\1/p' |
               sed 's/""/"/g' | tr -d '\n')
    for wanted in 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' \
                  '<dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">PerMonitorV2<' \
                  '>true</longPathAware>' '>UTF-8</activeCodePage>' \
                  '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>' \
                  'level="asInvoker"' "version=\"$version.0\""; do
        grep -qF -- "$wanted" <<<"$manifest" || fail "the manifest lacks $wanted"
    done
    name=$(basename "$exe")
    for wanted in "\"ProductName\", \"Tessarel\"" "\"ProductVersion\", \"$version\"" \
                  "\"FileVersion\", \"$version\"" "\"OriginalFilename\", \"$name\"" \
                  "FILEVERSION ${version//./, }, 0"; do
        grep -qF -- "$wanted" <<<"$rc" || fail "the version resource lacks $wanted"
    done
    # Each icon image's width is the first byte of its entry in the group: 16, 20 and 24 px
    # for the title bar, small lists and the taskbar at 100 to 150 percent.
    for size in 16 20 24 32 48; do
        grep -qF -- "\"\\$(printf '%03o' "$size")\\$(printf '%03o' "$size")\\000\\000\"" <<<"$rc" ||
            fail "the icon has no $size px image"
    done
done
echo "resources of $# programs as built"
