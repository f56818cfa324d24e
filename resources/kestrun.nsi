; Kestrun's Windows installer, for one user: no administrator rights, the
; files in %LOCALAPPDATA%\Programs\Kestrun, a Start-menu entry and an entry
; in the user's list of installed programs. Built by cmake/WindowsInstaller.cmake,
; which defines:
;   VERSION       the version, as in the top-level CMakeLists.txt (0.1.0)
;   VERSION4      the same in four parts, for the file's version resource
;   STAGE         the folder to install, as `cmake --install` made it
;   WORK          the folder of the generated uninstall list and the icon
;   OUTFILE       the installer to write
;   SIZE_KB       the installed size, for the list of installed programs
; and, optionally, QUICK_COMPRESSION to pack fast rather than small.
; Both the installer and uninstall.exe run silently with /S.

; A 64-bit installer for the 64-bit Kestrun: Windows refuses both where they
; cannot run, and no folder or key is redirected for a 32-bit program.
Target amd64-unicode
Unicode true
ManifestDPIAware true
; LZMA, the smallest; the tests ask for zlib, many times faster to pack.
!ifdef QUICK_COMPRESSION
  SetCompressor zlib
!else
  SetCompressor /SOLID lzma
!endif

!include LogicLib.nsh
!include MUI2.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrun"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define PUBLISHER "Quillon Works"

Name "Kestrun"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Kestrun"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Kestrun ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION4}"
VIAddVersionKey /LANG=1033 "ProductName" "Kestrun"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "Kestrun ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (c) 2026 Quillon Works Software, MIT License"

!define MUI_ICON "${WORK}/kestrun.ico"
!define MUI_UNICON "${WORK}/kestrun.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\kestrun.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Kestrun"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "Kestrun will be removed from the folder below. Your programs ($APPDATA\Kestrun\Kestrun.xml) and your settings are kept."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; A running Kestrun holds its files. Its executable cannot be deleted while
; it runs, which is what tells: the installer replaces it, the uninstaller
; removes it, first, so that nothing else is changed while Kestrun still
; runs. Silently (/S) the answer is Cancel, and the exit code 2.
!macro KestrunMustNotRun
  ${Do}
    ${IfNot} ${FileExists} "$INSTDIR\kestrun.exe"
      ${Break}
    ${EndIf}
    ClearErrors
    Delete "$INSTDIR\kestrun.exe"
    ${IfNot} ${Errors}
      ${Break}
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "Kestrun is running. Quit it (Quit Kestrun in its tray icon's menu), then choose Retry." \
      /SD IDCANCEL IDRETRY retry
    DetailPrint "Kestrun is running: nothing was changed."
    SetErrorLevel 2
    Abort
    retry:
  ${Loop}
!macroend

Function .onInit
  SetShellVarContext current
FunctionEnd

Section "Kestrun"
  SetOutPath "$INSTDIR"
  !insertmacro KestrunMustNotRun
  File /r "${STAGE}/*"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\Kestrun.lnk" "$INSTDIR\kestrun.exe" "" "$INSTDIR\kestrun.exe" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Kestrun"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kestrun.exe,0"
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

; Removes what the installer put there, file by file, and the folders that
; are empty then. Whatever else is in the folder stays, and so do the user's
; programs (%APPDATA%\Kestrun) and settings (HKCU\Software\Quillon Works\Kestrun).
Section "Uninstall"
  !insertmacro KestrunMustNotRun
  !include "${WORK}/uninstall-files.nsh"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\Kestrun.lnk"
  ; Start at Login names this copy's executable: it would start nothing now.
  ; A start of another copy stays.
  ReadRegStr $0 HKCU "${RUN_KEY}" "Kestrun"
  ${If} $0 == '"$INSTDIR\kestrun.exe"'
  ${OrIf} $0 == "$INSTDIR\kestrun.exe"
    DeleteRegValue HKCU "${RUN_KEY}" "Kestrun"
  ${EndIf}
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
