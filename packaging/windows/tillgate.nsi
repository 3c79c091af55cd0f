; The Windows installer of the cash-register server, built by
; scripts/build-windows with makensis:
;   makensis -DVERSION=X.Y.Z -DBUILD=<build-windows> -DSOURCE=<repository>
;            -DOUTFILE=<tillgate-setup-X.Y.Z.exe> tillgate.nsi
; Installs the programs and the documents under Program Files\Tillgate,
; registers the service (started once settings exist), puts the documents
; and the settings check in the Start menu. The uninstaller removes the
; programs and the service and keeps the settings (HKCU and HKLM
; \SOFTWARE\Tillgate), the journal and status in the state folders, and
; the shop's goods and report files.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!ifndef VERSION
  !error "VERSION is not defined"
!endif

!define PRODUCT "Tillgate"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tillgate"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Tillgate"
  SetShellVarContext all
  SetRegView 64
  ; A service already registered runs the old program: it is stopped and
  ; removed first (its settings and journal stay), then registered again.
  IfFileExists "$INSTDIR\tillgate-headless.exe" 0 +2
    ExecWait '"$INSTDIR\tillgate-headless.exe" --remove-service'

  SetOutPath "$INSTDIR"
  File "${BUILD}\app\headless\tillgate-headless.exe"
  File "${BUILD}\app\win32_window\tillgate.exe"
  File "${BUILD}\tools\mkgoods\tillgate-mkgoods.exe"
  File "${BUILD}\tools\regsim\tillgate-regsim.exe"
  SetOutPath "$INSTDIR\docs"
  File /oname=README.txt "${SOURCE}\README.md"
  File /oname=windows.txt "${SOURCE}\docs\windows.md"
  File /oname=configuration.txt "${SOURCE}\docs\configuration.md"
  SetOutPath "$INSTDIR"

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} cash-register server"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Tillgate.lnk" "$INSTDIR\tillgate.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Tillgate on Windows.lnk" "$INSTDIR\docs\windows.txt"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Tillgate README.lnk" "$INSTDIR\docs\README.txt"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Settings reference.lnk" "$INSTDIR\docs\configuration.txt"
  ; The check prints and ends: the console stays open to be read.
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Check the settings.lnk" "$SYSDIR\cmd.exe" \
    '/k ""$INSTDIR\tillgate-headless.exe" --check"' "$INSTDIR\tillgate-headless.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Uninstall Tillgate.lnk" "$INSTDIR\uninstall.exe"

  ; Registered with the installing user's settings copied to the machine's
  ; key when it has none; started only when settings exist.
  ExecWait '"$INSTDIR\tillgate-headless.exe" --install-service' $0
  DetailPrint "service registration: exit code $0"
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  SetRegView 64
  ExecWait '"$INSTDIR\tillgate-headless.exe" --remove-service'
  Delete "$INSTDIR\tillgate-headless.exe"
  Delete "$INSTDIR\tillgate.exe"
  Delete "$INSTDIR\tillgate-mkgoods.exe"
  Delete "$INSTDIR\tillgate-regsim.exe"
  Delete "$INSTDIR\docs\README.txt"
  Delete "$INSTDIR\docs\windows.txt"
  Delete "$INSTDIR\docs\configuration.txt"
  RMDir "$INSTDIR\docs"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}\*.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; Settings, journal and the shop's files are kept on purpose.
SectionEnd
