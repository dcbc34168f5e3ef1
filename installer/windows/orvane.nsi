; The Windows installer of Orvane: orvane.exe, Parlo.exe, the skin and the chime in
; "Program Files\Orvane" (where orvane.exe looks for Parlo.exe), a Start-menu and a desktop
; shortcut that start the program in that folder (it reads its skin from its working folder),
; and an uninstaller listed among the system's programs that removes exactly what was installed.
;
; Built by CMake (installer/windows/CMakeLists.txt) with:
;   makensis -INPUTCHARSET UTF8 -DVERSION=0.7.6 -DFILES=files.nsh -DICON=orvane.ico -DOUT_FILE=OrvaneSetup-0.7.6.exe orvane.nsi
; FILES holds two macros, ORVANE_FILES_INSTALL (File lines) and ORVANE_FILES_REMOVE (the
; matching Delete lines): the one list the installer and the uninstaller share.
;
; Silent: "OrvaneSetup-0.7.6.exe /S" installs, "uninstall.exe /S" removes. While Orvane or
; Parlo runs, a silent install or uninstall refuses with exit code 2; an interactive one asks
; the user to close them and try again.
; Over an earlier installation, the earlier uninstaller is run first (silently, in place), so
; files that the new version no longer has do not stay behind; then the new files are put in
; the same folder.

!ifndef VERSION | FILES | ICON | OUT_FILE
  !error "VERSION, FILES, ICON and OUT_FILE must be defined (see the comment at the top)"
!endif

Unicode true
; A 64-bit installer: "Program Files" is the 64-bit programs folder, and a 64-bit Wine runs it.
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

!define PRODUCT "Orvane"
!define PUBLISHER "Orvane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvane"
!define UNINSTALLER "uninstall.exe"

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
; Fixed: the program finds Parlo only at "<Program Files>\Orvane\Parlo.exe".
InstallDir "$PROGRAMFILES64\Orvane"
RequestExecutionLevel admin
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1036 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1036 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1036 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1036 "FileDescription" "Installation d'Orvane ${VERSION}"
VIAddVersionKey /LANG=1036 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1036 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "French"

!include "${FILES}"

; Orvane holds the mutex "Orvane" while it runs and Parlo the mutex "Orvane-Synthe": files in
; use must not be replaced or removed under them. A silent run refuses (exit code 2); a user is
; asked to close them and try again.
!macro NOTE_IF_HELD NAME
  ; SYNCHRONIZE access is enough to learn that the mutex exists.
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${NAME}") p .R7'
  ${If} $R7 P<> 0
    System::Call 'kernel32::CloseHandle(p R7)'
    StrCpy $R9 "running"
  ${EndIf}
!macroend

!macro REFUSE_WHILE_RUNNING
  ${Do}
    StrCpy $R9 ""
    !insertmacro NOTE_IF_HELD "Orvane"
    !insertmacro NOTE_IF_HELD "Orvane-Synthe"
    ${If} $R9 == ""
      ${Break}
    ${EndIf}
    ${If} ${Silent}
      SetErrorLevel 2
      Quit
    ${EndIf}
    ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Orvane est en cours d'exécution.$\r$\nFermez Orvane (et le synthétiseur vocal), puis recommencez." IDRETRY`
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${Loop}
!macroend

Function .onInit
  SetShellVarContext all
  SetRegView 64
  !insertmacro REFUSE_WHILE_RUNNING
FunctionEnd

Function un.onInit
  SetShellVarContext all
  SetRegView 64
  !insertmacro REFUSE_WHILE_RUNNING
FunctionEnd

Section "Orvane" SecMain
  SectionIn RO
  ; An earlier installation is removed by its own uninstaller, in place (_?= keeps it from
  ; copying itself away, so ExecWait waits for it), which leaves only itself behind.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\${UNINSTALLER}"
    ExecWait '"$0\${UNINSTALLER}" /S _?=$0' $1
    Delete "$0\${UNINSTALLER}"
    RMDir "$0"
  ${EndIf}

  SetOutPath "$INSTDIR"
  !insertmacro ORVANE_FILES_INSTALL
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; The shortcuts start the program in the folder of its skin: the out path is their
  ; working folder.
  SetOutPath "$INSTDIR"
  CreateShortCut "$SMPROGRAMS\Orvane.lnk" "$INSTDIR\orvane.exe" "" "$INSTDIR\orvane.exe" 0
  CreateShortCut "$DESKTOP\Orvane.lnk" "$INSTDIR\orvane.exe" "" "$INSTDIR\orvane.exe" 0

  ; The system's list of programs.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\orvane.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "Uninstall"
  ; Only what the installer put there: a file the user added to the folder keeps the folder.
  !insertmacro ORVANE_FILES_REMOVE
  Delete "$SMPROGRAMS\Orvane.lnk"
  Delete "$DESKTOP\Orvane.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
SectionEnd
