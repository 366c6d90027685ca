; The Windows installer of the ORVE-1 control program: orve1.exe and orve1ctl.exe with the Qt and
; compiler run-time DLLs and Qt's plugins beside them, Start menu entries (the program, and its
; station: orve1.exe --station, which asks for the plan file) and an uninstaller.
; Made by scripts/package-windows, which passes:
;   VERSION  the program's version
;   STAGE    the folder holding everything that is installed
;   FILES    an include file with the install and uninstall lists (one line a file)
;   OUTFILE  the installer to write
; The program keeps no settings; the only registry entry is Windows' own uninstall entry.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"

Name "ORVE-1 ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\ORVE-1"
RequestExecutionLevel admin
BrandingText "ORVE-1 control program ${VERSION}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ORVE-1"

!define MUI_ICON "orve1.ico"
!define MUI_UNICON "${NSISDIR}\Contrib\Graphics\Icons\modern-uninstall.ico"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "ORVE-1 control program"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "ORVE-1 control program installer"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "ORVE-1 control program developers"

Section "ORVE-1"
    SetRegView 64
    SetShellVarContext all
    !define INSTALL_FILES
    !include "${FILES}"
    !undef INSTALL_FILES
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateDirectory "$SMPROGRAMS\ORVE-1"
    CreateShortcut "$SMPROGRAMS\ORVE-1\ORVE-1.lnk" "$INSTDIR\orve1.exe"
    ; A line's own shortcut gets the plan's path after --station in its properties.
    CreateShortcut "$SMPROGRAMS\ORVE-1\ORVE-1 Station.lnk" "$INSTDIR\orve1.exe" "--station"
    CreateShortcut "$SMPROGRAMS\ORVE-1\Uninstall ORVE-1.lnk" "$INSTDIR\uninstall.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "ORVE-1 control program"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "ORVE-1 control program developers"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\orve1.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Removes what was installed, file by file, so that nothing else in the folder is touched.
Section "Uninstall"
    SetRegView 64
    SetShellVarContext all
    Delete "$SMPROGRAMS\ORVE-1\ORVE-1.lnk"
    Delete "$SMPROGRAMS\ORVE-1\ORVE-1 Station.lnk"
    Delete "$SMPROGRAMS\ORVE-1\Uninstall ORVE-1.lnk"
    RMDir "$SMPROGRAMS\ORVE-1"
    !define UNINSTALL_FILES
    !include "${FILES}"
    !undef UNINSTALL_FILES
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
