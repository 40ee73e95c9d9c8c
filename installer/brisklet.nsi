; Brisklet setup program.
;
; Installs brisklet.exe and brisklet.chm into Program Files, records that folder as
; "InstalledPath" under HKLM\Software\Vantaro\Brisklet (the program refuses to start without it),
; adds a Start-menu shortcut and an uninstaller listed in Add/Remove Programs, and offers to start
; Brisklet at the end. The uninstaller removes exactly that again, plus the per-user Run value
; that the Options dialog may have written; it never touches the user's Button files.
;
; Built by CMake (installer/CMakeLists.txt) with:
;   makensis -DARCH=x64|x86 -DVERSION=5.1.0 -DEXE=<brisklet.exe> -DCHM=<brisklet.chm> -DOUTFILE=<setup.exe>
;            [-DICON=<the program's .ico>]

Unicode true

!macro REQUIRE_DEFINE NAME
  !ifndef ${NAME}
    !error "makensis needs -D${NAME}=... (see the top of this file)"
  !endif
!macroend
!insertmacro REQUIRE_DEFINE ARCH
!insertmacro REQUIRE_DEFINE VERSION
!insertmacro REQUIRE_DEFINE EXE
!insertmacro REQUIRE_DEFINE CHM
!insertmacro REQUIRE_DEFINE OUTFILE

!if "${ARCH}" == "x64"
  Target amd64-unicode
  !define PROGRAM_FILES "$PROGRAMFILES64"
!else if "${ARCH}" == "x86"
  Target x86-unicode
  !define PROGRAM_FILES "$PROGRAMFILES"
!else
  !error "ARCH must be x64 or x86"
!endif

!define PRODUCT "Brisklet"
!define PUBLISHER "Vantaro Software"
!define APP_KEY "Software\Vantaro\Brisklet"
!define VENDOR_KEY "Software\Vantaro"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Brisklet"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The running Button bar is found by its window class and title.
!define BAR_CLASS "BRISKLET"
!define BAR_TITLE "Brisklet"

!include "MUI2.nsh"
!include "LogicLib.nsh"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "${PROGRAM_FILES}\${PRODUCT}"
; An earlier installation is updated in place (read in the installer's own registry view,
; the one its program reads; /D= on the command line still wins).
InstallDirRegKey HKLM "${APP_KEY}" "InstalledPath"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup (${ARCH})"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!define MUI_ABORTWARNING
!ifdef ICON
  !define MUI_ICON "${ICON}"
  !define MUI_UNICON "${ICON}"
!endif
!define MUI_WELCOMEPAGE_TEXT "This will install ${PRODUCT} ${VERSION} on your computer.$\r$\n$\r$\n${PRODUCT} keeps your favourite web addresses one click away: it lives in the notification area and shows a bar of buttons, one per saved address.$\r$\n$\r$\nYour Button files are kept in your Documents folder and are not changed by this setup.$\r$\n$\r$\n$_CLICK"
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartBriskletAsUser
!define MUI_FINISHPAGE_TEXT "${PRODUCT} has been installed.$\r$\n$\r$\nIt starts in the notification area (next to the clock): click its icon to show the Button bar. Help > Using Brisklet... explains the rest."

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; Files in use cannot be replaced or removed: a running Brisklet has to be closed first.
; Silent runs (/S) give up instead of waiting for an answer.
!macro WAIT_FOR_BRISKLET_TO_CLOSE
  ${Do}
    FindWindow $0 "${BAR_CLASS}" "${BAR_TITLE}"
    ${If} $0 = 0
      ${Break}
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} is running.$\r$\n$\r$\nPlease close it (File > Exit on the Button bar) and click Retry." /SD IDCANCEL IDRETRY +2
    Abort "${PRODUCT} is still running."
  ${Loop}
!macroend

!macro SELECT_REGISTRY_VIEW
  !if "${ARCH}" == "x64"
    SetRegView 64
  !else
    SetRegView 32
  !endif
!macroend

Function .onInit
  !insertmacro SELECT_REGISTRY_VIEW
FunctionEnd

Function un.onInit
  !insertmacro SELECT_REGISTRY_VIEW
FunctionEnd

; Started through the shell, so that Brisklet runs as the signed-in user and not elevated like
; setup itself: an elevated window would take no drag-and-drop from the user's browser.
Function StartBriskletAsUser
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\brisklet.exe"'
FunctionEnd

; $INSTDIR without a trailing backslash (only a drive root such as "C:\" has one); the program
; appends "\brisklet.exe" and "\brisklet.chm" to the value itself.
Function InstallFolderWithoutBackslash
  StrCpy $0 $INSTDIR
  StrCpy $1 $0 1 -1
  ${If} $1 == "\"
    StrCpy $0 $0 -1
  ${EndIf}
FunctionEnd

Section "${PRODUCT}" SecProgram
  SectionIn RO
  !insertmacro WAIT_FOR_BRISKLET_TO_CLOSE

  SetOutPath "$INSTDIR"
  File "/oname=brisklet.exe" "${EXE}"
  File "/oname=brisklet.chm" "${CHM}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  Call InstallFolderWithoutBackslash
  WriteRegStr HKLM "${APP_KEY}" "InstalledPath" "$0"

  ; A shortcut for everyone who uses this computer, like the program folder itself.
  SetShellVarContext all
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\brisklet.exe" "" "$INSTDIR\brisklet.exe" 0 \
    SW_SHOWNORMAL "" "Your favourite web addresses one click away"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\brisklet.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${SecProgram} $1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1
SectionEnd

Section "Uninstall"
  !insertmacro WAIT_FOR_BRISKLET_TO_CLOSE

  ; Only what setup put here; anything else in the folder (and the folder then) stays.
  Delete "$INSTDIR\brisklet.exe"
  Delete "$INSTDIR\brisklet.chm"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  SetShellVarContext all
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"

  DeleteRegValue HKLM "${APP_KEY}" "InstalledPath"
  DeleteRegKey /ifempty HKLM "${APP_KEY}"
  DeleteRegKey /ifempty HKLM "${VENDOR_KEY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ; "Automatically run Brisklet at startup" would otherwise start a program that is gone.
  DeleteRegValue HKCU "${RUN_KEY}" "Brisklet"

  ; The user's Button files (Documents\brisklet\*.bklt) and per-user settings are left alone.
SectionEnd
