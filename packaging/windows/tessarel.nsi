; The Windows installer: for the user who runs it, without an administrator. Puts the programs
; in the user's own Programs folder, a Start menu entry, the series' pieces (.m00 to .m99) as a
; file type Explorer opens with Tessarel, with "Join with Tessarel" and "Check with Tessarel" on
; them and "Split with Tessarel" on every file; the uninstaller takes all of it away again.
;   makensis -DVERSION=1.0.0 -DFILES=<folder of the files> -DOUTFILE=<setup.exe> [-DSIGN=sign.sh]
;            tessarel.nsi
; FILES holds the programs, the clip, README.txt, LICENSE.txt, tessarel.ico and the pages'
; pictures side.bmp and header.bmp.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
; The files carry no times of the build machine: two builds of one commit give one installer.
SetDateSave off
; The uninstaller and the installer are signed as they are written (sign.sh does nothing when the
; build has no certificate).
!ifdef SIGN
    !uninstfinalize '"${SIGN}" "%1"' = 0
    !finalize '"${SIGN}" "%1"' = 0
!endif
RequestExecutionLevel user
ManifestDPIAware true
ManifestSupportedOS Win10

!include MUI2.nsh
!include WinVer.nsh
!include FileFunc.nsh
!include LogicLib.nsh

!define KEY_UNINSTALL "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessarel"
!define KEY_CLASSES "Software\Classes"
!define PROGID "Tessarel.Series"
!define SPLIT_VERB "${KEY_CLASSES}\*\shell\Tessarel.Split"

Name "Tessarel"
Caption "Tessarel ${VERSION} Setup"
BrandingText "Tessarel ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tessarel"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Tessarel"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Tessarel installer"
VIAddVersionKey "CompanyName" "The Tessarel developers"
VIAddVersionKey "LegalCopyright" "The Tessarel developers"

; The program's own icon and pictures on every page.
!define MUI_ICON "${FILES}\tessarel.ico"
!define MUI_UNICON "${FILES}\tessarel.ico"
!define MUI_HEADERIMAGE
!define MUI_HEADERIMAGE_RIGHT
!define MUI_HEADERIMAGE_BITMAP "${FILES}\header.bmp"
!define MUI_HEADERIMAGE_UNBITMAP "${FILES}\header.bmp"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${FILES}\side.bmp"
!define MUI_UNWELCOMEFINISHPAGE_BITMAP "${FILES}\side.bmp"
!define MUI_WELCOMEFINISHPAGE_BITMAP_NOSTRETCH
!define MUI_UNWELCOMEFINISHPAGE_BITMAP_NOSTRETCH
!define MUI_HEADERIMAGE_BITMAP_NOSTRETCH
!define MUI_HEADERIMAGE_UNBITMAP_NOSTRETCH
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\tessarelw.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Run Tessarel"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The programs call what came with Windows 10 version 1607 (build 14393).
Function .onInit
    ${IfNot} ${AtLeastWin10}
    ${OrIfNot} ${AtLeastBuild} 14393
        MessageBox MB_OK|MB_ICONSTOP "Tessarel needs Windows 10, version 1607 or later." /SD IDOK
        SetErrorLevel 3
        Abort
    ${EndIf}
FunctionEnd

; Tells Explorer that file types changed, so pieces show the new icon and verbs at once.
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

    ; Every piece opens its series with Tessarel (a later piece, its first). Opening joins;
    ; Check reads the series through in a console that waits for a key.
    WriteRegStr HKCU "${KEY_CLASSES}\${PROGID}" "" "Tessarel series piece"
    WriteRegStr HKCU "${KEY_CLASSES}\${PROGID}\DefaultIcon" "" '"$INSTDIR\tessarelw.exe",0'
    WriteRegStr HKCU "${KEY_CLASSES}\${PROGID}\shell" "" "join"
    WriteRegStr HKCU "${KEY_CLASSES}\${PROGID}\shell\join" "" "Join with Tessarel"
    WriteRegStr HKCU "${KEY_CLASSES}\${PROGID}\shell\join\command" "" '"$INSTDIR\tessarelw.exe" "%1"'
    WriteRegStr HKCU "${KEY_CLASSES}\${PROGID}\shell\check" "" "Check with Tessarel"
    WriteRegStr HKCU "${KEY_CLASSES}\${PROGID}\shell\check\command" "" '"$INSTDIR\tessarel.exe" check "%1"'
    ; Another program's claim on an extension is kept: Tessarel is then one of the programs
    ; Explorer offers under Open with.
    StrCpy $1 0
    ${Do}
        IntFmt $2 "%02d" $1
        WriteRegStr HKCU "${KEY_CLASSES}\.m$2\OpenWithProgids" "${PROGID}" ""
        ReadRegStr $0 HKCU "${KEY_CLASSES}\.m$2" ""
        ${If} $0 == ""
            WriteRegStr HKCU "${KEY_CLASSES}\.m$2" "" "${PROGID}"
        ${EndIf}
        IntOp $1 $1 + 1
    ${LoopUntil} $1 > 99
    ; Any file can be split; the window opens ready to split it, even a piece.
    WriteRegStr HKCU "${SPLIT_VERB}" "" "Split with Tessarel"
    WriteRegStr HKCU "${SPLIT_VERB}" "Icon" '"$INSTDIR\tessarelw.exe",0'
    WriteRegStr HKCU "${SPLIT_VERB}\command" "" '"$INSTDIR\tessarelw.exe" --split "%1"'

    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegStr HKCU "${KEY_UNINSTALL}" "DisplayName" "Tessarel"
    WriteRegStr HKCU "${KEY_UNINSTALL}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${KEY_UNINSTALL}" "Publisher" "The Tessarel developers"
    WriteRegStr HKCU "${KEY_UNINSTALL}" "DisplayIcon" '"$INSTDIR\tessarelw.exe",0'
    WriteRegStr HKCU "${KEY_UNINSTALL}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${KEY_UNINSTALL}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${KEY_UNINSTALL}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${KEY_UNINSTALL}" "EstimatedSize" $0
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

    StrCpy $1 0
    ${Do}
        IntFmt $2 "%02d" $1
        DeleteRegValue HKCU "${KEY_CLASSES}\.m$2\OpenWithProgids" "${PROGID}"
        DeleteRegKey /ifempty HKCU "${KEY_CLASSES}\.m$2\OpenWithProgids"
        ReadRegStr $0 HKCU "${KEY_CLASSES}\.m$2" ""
        ${If} $0 == "${PROGID}"
            DeleteRegValue HKCU "${KEY_CLASSES}\.m$2" ""
        ${EndIf}
        DeleteRegKey /ifempty HKCU "${KEY_CLASSES}\.m$2"
        IntOp $1 $1 + 1
    ${LoopUntil} $1 > 99
    DeleteRegKey HKCU "${KEY_CLASSES}\${PROGID}"
    DeleteRegKey HKCU "${SPLIT_VERB}"
    DeleteRegKey /ifempty HKCU "${KEY_CLASSES}\*\shell"
    DeleteRegKey /ifempty HKCU "${KEY_CLASSES}\*"
    DeleteRegKey HKCU "${KEY_UNINSTALL}"
    !insertmacro TellExplorer
SectionEnd
