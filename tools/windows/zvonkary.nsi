; The installer of the Windows program, for all users of the machine. makensis is run by tools/windows/make-installer,
; which gives VERSION, BUILD (the folder holding zvonkary.exe, zvonkary.ico, LICENSE.txt, NOTICES.txt) and OUTFILE.
;   Silent: setup.exe /S [/DESKTOP] [/D=C:\folder]     Uninstall silently: uninstall.exe /S
; A 64-bit installer, like the program: it starts where the program can run, and nowhere else.
Target amd64-unicode
!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

!define PRODUCT "Звонкары"
!define PUBLISHER "Команда проекта «Звонкары»"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zvonkary"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Zvonkary"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT}"
VIAddVersionKey /LANG=0 "LegalCopyright" "GPL-3.0-or-later"

!define MUI_ICON "${BUILD}/zvonkary.ico"
!define MUI_UNICON "${BUILD}/zvonkary.ico"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${BUILD}/LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\zvonkary.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The first language is the one used where the system's is not among them.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Russian"

LangString GameSection ${LANG_ENGLISH} "Zvonkary (the game)"
LangString GameSection ${LANG_RUSSIAN} "Звонкары (игра)"
LangString DesktopSection ${LANG_ENGLISH} "A shortcut on the desktop"
LangString DesktopSection ${LANG_RUSSIAN} "Ярлык на рабочем столе"
LangString FolderFailed ${LANG_ENGLISH} "The results folder $APPDATA\KVRT could not be opened to every user: pupils' accounts may not be able to save their results."
LangString FolderFailed ${LANG_RUSSIAN} "Папку результатов $APPDATA\KVRT не удалось открыть для всех пользователей: ученики могут не суметь сохранить результаты."

Var WantDesktop

Function .onInit
  SetShellVarContext all
  SetRegView 64
  ; /DESKTOP on the command line of a silent install asks for the desktop shortcut too.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/DESKTOP" $1
  ${IfNot} ${Errors}
    StrCpy $WantDesktop 1
  ${EndIf}
FunctionEnd

Section "!$(GameSection)" SectionGame
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${BUILD}/zvonkary.exe"
  File "${BUILD}/zvonkary.ico"
  File "${BUILD}/LICENSE.txt"
  File "${BUILD}/NOTICES.txt"
  ; Every pupil's account saves into the machine's results folder: the Users group may change what is in it.
  CreateDirectory "$APPDATA\KVRT"
  nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$APPDATA\KVRT" /grant *S-1-5-32-545:(OI)(CI)M'
  Pop $0
  ${If} $0 != 0
    DetailPrint "$(FolderFailed)"
  ${EndIf}
  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\zvonkary.exe" "" "$INSTDIR\zvonkary.ico"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zvonkary.ico"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section /o "$(DesktopSection)" SectionDesktop
  StrCpy $WantDesktop 1
SectionEnd

Section "-desktop"
  ${If} $WantDesktop == 1
    CreateShortCut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\zvonkary.exe" "" "$INSTDIR\zvonkary.ico"
  ${EndIf}
SectionEnd

Function un.onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

; The results folder stays: the teacher's workbooks are not the program's to remove.
Section "Uninstall"
  Delete "$INSTDIR\zvonkary.exe"
  Delete "$INSTDIR\zvonkary.ico"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\NOTICES.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$DESKTOP\${PRODUCT}.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
