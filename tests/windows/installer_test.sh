#!/usr/bin/env bash
# The installer under wine, silently (/S) as a deployment would run it: the programs in the
# user's Programs folder, the Start menu entry and the .m00 file type after installing; all of it
# gone after uninstalling, and a .m00 type another program owns left as it was.
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
query 'HKCU\Software\Classes\Tessarel.Series\shell\open\command' /ve | grep -q 'tessarelw.exe" "%1"' ||
    fail "installed: no open command for .m00"
# The installed console program runs.
timeout 60 "$wine" "$folder/tessarel.exe" --version | grep -q '^tessarel ' ||
    fail "installed: tessarel.exe --version"

uninstall
[ -e "$folder" ] && fail "uninstalled: $(ls "$folder" | tr '\n' ' ')left in the program folder"
[ -e "$start_menu/Tessarel.lnk" ] && fail "uninstalled: the Start menu entry is left"
query 'HKCU\Software\Classes\.m00' >/dev/null && fail "uninstalled: the .m00 key is left"
query 'HKCU\Software\Classes\Tessarel.Series' >/dev/null && fail "uninstalled: the file type is left"
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

[ "$failures" -eq 0 ] && echo "installer: all checks passed"
exit $((failures > 0))
