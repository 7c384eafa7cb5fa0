; The Windows installer: for the user who runs it, without an administrator. Puts the programs
; in the user's own Programs folder, a Start menu entry, and the series' first piece (.m00) as a
; file type Explorer opens with Tessarel; the uninstaller takes all of it away again.
;   makensis -DVERSION=1.0.0 -DFILES=<folder of the files> -DOUTFILE=<setup.exe> tessarel.nsi

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!define KEY_UNINSTALL "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessarel"
!define KEY_CLASSES "Software\Classes"
!define PROGID "Tessarel.Series"

Name "Tessarel ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tessarel"
Icon "${FILES}\tessarel.ico"
UninstallIcon "${FILES}\tessarel.ico"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Tessarel"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Tessarel installer"
VIAddVersionKey "LegalCopyright" "The Tessarel developers"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Tells Explorer that file types changed, so .m00 files show the new icon and verb at once.
!macro TellExplorer
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
!macroend

Section "Tessarel"
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    File "${FILES}\tessarel.exe"
    File "${FILES}\tessarelw.exe"
    File "${FILES}\filedisk.avi"
    File "${FILES}\README.txt"
    File "${FILES}\LICENSE.txt"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateShortcut "$SMPROGRAMS\Tessarel.lnk" "$INSTDIR\tessarelw.exe" "" "$INSTDIR\tessarelw.exe" 0

    ; The first piece opens with Tessarel. Another program's claim on .m00 is kept: Tessarel is
    ; then one of the programs Explorer offers under Open with.
    WriteRegStr HKCU "${KEY_CLASSES}\${PROGID}" "" "Tessarel series (first piece)"
    WriteRegStr HKCU "${KEY_CLASSES}\${PROGID}\DefaultIcon" "" '"$INSTDIR\tessarelw.exe",0'
    WriteRegStr HKCU "${KEY_CLASSES}\${PROGID}\shell\open\command" "" '"$INSTDIR\tessarelw.exe" "%1"'
    WriteRegStr HKCU "${KEY_CLASSES}\.m00\OpenWithProgids" "${PROGID}" ""
    ReadRegStr $0 HKCU "${KEY_CLASSES}\.m00" ""
    StrCmp $0 "" 0 +2
        WriteRegStr HKCU "${KEY_CLASSES}\.m00" "" "${PROGID}"

    WriteRegStr HKCU "${KEY_UNINSTALL}" "DisplayName" "Tessarel"
    WriteRegStr HKCU "${KEY_UNINSTALL}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${KEY_UNINSTALL}" "Publisher" "The Tessarel developers"
    WriteRegStr HKCU "${KEY_UNINSTALL}" "DisplayIcon" '"$INSTDIR\tessarelw.exe",0'
    WriteRegStr HKCU "${KEY_UNINSTALL}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${KEY_UNINSTALL}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${KEY_UNINSTALL}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${KEY_UNINSTALL}" "NoModify" 1
    WriteRegDWORD HKCU "${KEY_UNINSTALL}" "NoRepair" 1
    !insertmacro TellExplorer
SectionEnd

Section "Uninstall"
    SetShellVarContext current
    ; Only what the installer put there: a file of the user's own in the folder stays, and so
    ; does the folder then.
    Delete "$INSTDIR\tessarel.exe"
    Delete "$INSTDIR\tessarelw.exe"
    Delete "$INSTDIR\filedisk.avi"
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Tessarel.lnk"

    DeleteRegValue HKCU "${KEY_CLASSES}\.m00\OpenWithProgids" "${PROGID}"
    DeleteRegKey /ifempty HKCU "${KEY_CLASSES}\.m00\OpenWithProgids"
    ReadRegStr $0 HKCU "${KEY_CLASSES}\.m00" ""
    StrCmp $0 "${PROGID}" 0 +2
        DeleteRegValue HKCU "${KEY_CLASSES}\.m00" ""
    DeleteRegKey /ifempty HKCU "${KEY_CLASSES}\.m00"
    DeleteRegKey HKCU "${KEY_CLASSES}\${PROGID}"
    DeleteRegKey HKCU "${KEY_UNINSTALL}"
    !insertmacro TellExplorer
SectionEnd
