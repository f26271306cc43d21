; The Windows installer of Ordavel. scripts/package-windows passes:
;   VERSION  the program's version
;   STAGE    the folder holding everything installed (Windows path)
;   OUTFILE  the installer to write
;   FILES    an include file deleting exactly the installed files (uninstaller)
; Silent install and uninstall: /S; another folder: /D=DIR (last argument).
; The script is UTF-8 (makensis -INPUTCHARSET UTF8).
; A 64-bit installer for a 64-bit program (it also runs where only 64-bit Windows programs run).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

Name "Ordavel ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Ordavel"
InstallDirRegKey HKLM "Software\Ordavel" "InstallDir"
Icon "${STAGE}\ordavel.ico"
UninstallIcon "${STAGE}\ordavel.ico"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Ordavel"
!define SHCNE_ASSOCCHANGED 0x08000000
; The per-user start-up entry of the print service.
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "Ordavel 打印服务"

Page components
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Ordavel"
  SectionIn RO
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "Software\Ordavel" "InstallDir" "$INSTDIR"

  ; Start menu: the designer and the sample waybill.
  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\Ordavel"
  CreateShortcut "$SMPROGRAMS\Ordavel\Ordavel.lnk" "$INSTDIR\ordavel.exe" "" "$INSTDIR\ordavel.ico"
  CreateShortcut "$SMPROGRAMS\Ordavel\Sample waybill.lnk" "$INSTDIR\ordavel.exe" '"$INSTDIR\samples\waybill.oxf"' "$INSTDIR\ordavel.ico"
  ; The print service, started by hand (windowless; a second start while it runs ends at once).
  CreateShortcut "$SMPROGRAMS\Ordavel\Ordavel 打印服务.lnk" "$INSTDIR\ordavel-service.exe" "" "$INSTDIR\ordavel.ico"

  ; .oxf templates open in the designer, with the program's icon; "Print" prints directly.
  WriteRegStr HKCR ".oxf" "" "Ordavel.Template"
  WriteRegStr HKCR ".oxf" "Content Type" "application/x-ordavel-template"
  WriteRegStr HKCR "Ordavel.Template" "" "Ordavel template"
  WriteRegStr HKCR "Ordavel.Template\DefaultIcon" "" "$INSTDIR\ordavel.ico,0"
  WriteRegStr HKCR "Ordavel.Template\shell\open\command" "" '"$INSTDIR\ordavel.exe" "%1"'
  WriteRegStr HKCR "Ordavel.Template\shell\print\command" "" '"$INSTDIR\ordavel.exe" "%1" -p'

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Ordavel"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\ordavel.ico"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
SectionEnd

; The print service starts with Windows for the user who installs, in that
; user's session (where the user's printers are), with no window.
Section "打印服务随 Windows 启动" SecServiceAtStart
  WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\ordavel-service.exe"'
SectionEnd

; Only what was installed goes: templates, calibrations, the service's tokens
; (%APPDATA%\ordavel), the journal (%LOCALAPPDATA%\ordavel) and any other
; file the user put in the folder stay.
Section "Uninstall"
  ; The running service first: its files cannot go while it runs. The
  ; launcher takes the service with it; a service started otherwise goes too.
  nsExec::Exec '"$SYSDIR\taskkill.exe" /F /IM ordavel-service.exe'
  Pop $0
  nsExec::Exec '"$SYSDIR\taskkill.exe" /F /IM ordavel-cli.exe'
  Pop $0
  Sleep 500
  DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  !include "${FILES}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  SetShellVarContext all
  Delete "$SMPROGRAMS\Ordavel\Ordavel.lnk"
  Delete "$SMPROGRAMS\Ordavel\Sample waybill.lnk"
  Delete "$SMPROGRAMS\Ordavel\Ordavel 打印服务.lnk"
  RMDir "$SMPROGRAMS\Ordavel"

  ReadRegStr $0 HKCR ".oxf" ""
  StrCmp $0 "Ordavel.Template" 0 +2
    DeleteRegKey HKCR ".oxf"
  DeleteRegKey HKCR "Ordavel.Template"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\Ordavel"
  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
SectionEnd
