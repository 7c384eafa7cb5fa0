#!/usr/bin/env bash
# The installer under wine, silently (/S) as a deployment would run it: the programs in the
# user's Programs folder, the Start menu entry, the pieces' file type (.m00 to .m99) with its
# Join and Check verbs, Split on every file, and the uninstall entry after installing; all of it
# gone after uninstalling, and a .m00 type another program owns left as it was. On a Windows
# older than 10 1607 it installs nothing.
#   installer_test.sh SETUP.exe
set -uo pipefail
setup=$1
export WINEDEBUG=-all
wine=${WINE:-/usr/lib/wine/wine64}
export WINEPREFIX=${WINEPREFIX:-$(cd "$(dirname "$setup")" && pwd)/wineprefix}
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

user=$(timeout 60 "$wine" cmd /c 'echo %USERNAME%' | tr -d '\r')
local_appdata="$WINEPREFIX/drive_c/users/$user/AppData/Local"
folder="$local_appdata/Programs/Tessarel"
start_menu="$WINEPREFIX/drive_c/users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
query() { timeout 60 "$wine" reg query "$@" 2>/dev/null | tr -d '\r'; }
# The uninstaller runs on from a copy of itself, so it is waited for: until its last step (the
# uninstall entry) is done, for at most 60 s.
uninstall() {
    timeout 60 "$wine" "$folder/uninstall.exe" /S
    for _ in $(seq 60); do
        query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessarel' >/dev/null || break
        sleep 1
    done
    sleep 1
}

timeout 120 "$wine" "$setup" /S || fail "the installer ended with status $?"
for file in tessarel.exe tessarelw.exe filedisk.avi README.txt LICENSE.txt uninstall.exe; do
    [ -f "$folder/$file" ] || fail "installed: no $file"
done
[ -f "$start_menu/Tessarel.lnk" ] || fail "installed: no Start menu entry"
query 'HKCU\Software\Classes\.m00' /ve | grep -q 'Tessarel.Series' ||
    fail "installed: .m00 is not Tessarel's file type"
classes='HKCU\Software\Classes'
for ext in .m00 .m37 .m99; do
    query "$classes\\$ext" /ve | grep -q 'Tessarel.Series' || fail "installed: $ext is not Tessarel's"
done
query "$classes\.m100" >/dev/null && fail "installed: .m100 was claimed"
verb() {  # verb KEY PROGRAM_AND_ARGUMENTS CAPTION
    query "$1\command" /ve | grep -qF "$2" || fail "installed: $1 does not run $2"
    query "$1" /ve | grep -qF "$3" || fail "installed: $1 is not called $3"
}
verb "$classes\Tessarel.Series\shell\join" 'tessarelw.exe" "%1"' "Join with Tessarel"
verb "$classes\Tessarel.Series\shell\check" 'tessarel.exe" check "%1"' "Check with Tessarel"
verb "$classes\*\shell\Tessarel.Split" 'tessarelw.exe" --split "%1"' "Split with Tessarel"
query "$classes\Tessarel.Series\shell" /ve | grep -q 'join' || fail "installed: opening a piece does not join"
entry=$(query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessarel')
size=$(sed -n 's/.*EstimatedSize *REG_DWORD *0x\([0-9a-f]*\).*/\1/p' <<<"$entry")
[ -n "$size" ] && [ $((16#$size)) -gt 100 ] || fail "installed: the uninstall entry's size is $size"
grep -q 'Publisher.*The Tessarel developers' <<<"$entry" || fail "installed: no publisher"
grep -q 'DisplayVersion.*[0-9]\.[0-9]' <<<"$entry" || fail "installed: no version"
# The installed console program runs.
timeout 60 "$wine" "$folder/tessarel.exe" --version | grep -q '^tessarel ' ||
    fail "installed: tessarel.exe --version"

uninstall
[ -e "$folder" ] && fail "uninstalled: $(ls "$folder" | tr '\n' ' ')left in the program folder"
[ -e "$start_menu/Tessarel.lnk" ] && fail "uninstalled: the Start menu entry is left"
query 'HKCU\Software\Classes\.m00' >/dev/null && fail "uninstalled: the .m00 key is left"
query 'HKCU\Software\Classes\Tessarel.Series' >/dev/null && fail "uninstalled: the file type is left"
query 'HKCU\Software\Classes\.m99' >/dev/null && fail "uninstalled: the .m99 key is left"
query 'HKCU\Software\Classes\*\shell\Tessarel.Split' >/dev/null && fail "uninstalled: Split is left"
query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessarel' >/dev/null &&
    fail "uninstalled: the uninstall entry is left"

# Another program's .m00: installing adds Tessarel under Open with, uninstalling leaves theirs.
timeout 60 "$wine" reg add 'HKCU\Software\Classes\.m00' /ve /d Other.Type /f >/dev/null
timeout 120 "$wine" "$setup" /S
query 'HKCU\Software\Classes\.m00' /ve | grep -q 'Other.Type' || fail "the other program's .m00 was taken"
query 'HKCU\Software\Classes\.m00\OpenWithProgids' | grep -q 'Tessarel.Series' ||
    fail "Tessarel is not offered under Open with"
uninstall
query 'HKCU\Software\Classes\.m00' /ve | grep -q 'Other.Type' ||
    fail "uninstalling removed the other program's .m00"
timeout 60 "$wine" reg delete 'HKCU\Software\Classes\.m00' /f >/dev/null

# An older Windows: refused, with nothing installed.
timeout 60 "$wine" winecfg -v win7
timeout 120 "$wine" "$setup" /S
status=$?
timeout 60 "$wine" winecfg -v win10
[ "$status" -ne 0 ] || fail "the installer ran on Windows 7"
if [ -e "$folder" ]; then
    fail "the installer installed on Windows 7"
    uninstall
fi

[ "$failures" -eq 0 ] && echo "installer: all checks passed"
exit $((failures > 0))
