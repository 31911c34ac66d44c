; The Windows installer of the Trelmo driver and its test program, built by make-packages:
;
;   makensis -DVERSION=<a.b.c.d> -DOUTFILE=<setup.exe> -DTRELMO32=<i686 Trelmo.dll>
;            -DTRELMO64=<x86_64 Trelmo.dll> [-DSKAVIN32=<i686 Skavin.exe> -DSKAVIN64=<...>]
;            [-DSIGN=<installer/sign> -DSIGNING=<signing dir>] trelmo.nsi
;
; The folder gets the library and the program of the system's bitness; a 64-bit system also
; gets the 32-bit library in x86\, for 32-bit clients such as 1C:Enterprise. Each library is
; registered by the regsvr32 of its own bitness, so each lands in its own registry view. /S
; installs (and, given to Uninstall.exe, removes) without a window; the exit code tells failure.
;
; UTF-8 with a byte-order mark: makensis reads the Russian texts right without further options.

Unicode true
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh

!define PRODUCT "Драйвер варнок-платы"
!define COMPANY "Норвик"
; Under Program Files; the driver's default log file lives in this folder.
!define FOLDER "Норвик\Драйверы\Драйвер варнок-платы"
!define MENU "$SMPROGRAMS\${PRODUCT}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Trelmo"
!define SKAVIN_LINK "Тест драйвера варнок-платы.lnk"
!define UNINSTALL_LINK "Удаление драйвера варнок-платы.lnk"

!if ! /FileExists "${TRELMO32}"
  !error "TRELMO32 names no file: ${TRELMO32}"
!endif
!if ! /FileExists "${TRELMO64}"
  !error "TRELMO64 names no file: ${TRELMO64}"
!endif
!ifdef SKAVIN32
  !ifndef SKAVIN64
    !error "SKAVIN32 without SKAVIN64"
  !endif
!else ifdef SKAVIN64
  !error "SKAVIN64 without SKAVIN32"
!endif

; The pages put the name into Russian sentences in several cases: a Latin name reads right in
; all of them, and the captions say it in Russian.
Name "Trelmo ${VERSION}"
Caption "Установка драйвера варнок-платы ${VERSION}"
UninstallCaption "Удаление драйвера варнок-платы ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "${COMPANY}"
; The uninstaller is packed inside the installer: signed here, before makensis packs it, since
; nothing can sign it once the installer writes it out.
!ifdef SIGN
  !uninstfinalize '"${SIGN}" "${SIGNING}" "%1"' = 0
!endif

!define MUI_ABORTWARNING
!define MUI_ICON "${NSISDIR}\Contrib\Graphics\Icons\modern-install.ico"
!define MUI_UNICON "${NSISDIR}\Contrib\Graphics\Icons\modern-uninstall.ico"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!ifdef SKAVIN32
  !define MUI_FINISHPAGE_RUN "$INSTDIR\Skavin.exe"
  !define MUI_FINISHPAGE_RUN_TEXT "Запустить тест драйвера"
!endif
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductName" "Trelmo"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileDescription" "Установка драйвера варнок-платы"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "LegalCopyright" "${COMPANY}"

; Runs regsvr32 (the system's native one when NATIVE is 1, else the 32-bit one) on DLL with
; OPTIONS; leaves its exit code in $0, or "-" when it did not start.
!macro Regsvr32 NATIVE OPTIONS DLL
  StrCpy $0 "-"
  ; The installer is a 32-bit program: its system32 is the 32-bit one unless redirection is off.
  !if ${NATIVE} == 1
    ${DisableX64FSRedirection}
  !endif
  ExecWait '"$SYSDIR\regsvr32.exe" ${OPTIONS} "${DLL}"' $0
  !if ${NATIVE} == 1
    ${EnableX64FSRedirection}
  !endif
!macroend

!macro Register NATIVE DLL
  DetailPrint "Регистрация ${DLL}"
  !insertmacro Regsvr32 ${NATIVE} "/s" "${DLL}"
  ${If} $0 != 0
    MessageBox MB_OK|MB_ICONSTOP "Не удалось зарегистрировать ${DLL} (regsvr32: $0)." /SD IDOK
    SetErrorLevel 3
    Abort "Библиотека не зарегистрирована."
  ${EndIf}
!macroend

!macro Unregister NATIVE DLL
  ${If} ${FileExists} "${DLL}"
    DetailPrint "Отмена регистрации ${DLL}"
    !insertmacro Regsvr32 ${NATIVE} "/s /u" "${DLL}"
    ${If} $0 != 0
      DetailPrint "regsvr32 /u: $0"
    ${EndIf}
  ${EndIf}
!macroend

Function .onInit
  SetShellVarContext all
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  ; /D= wins; then the folder of an earlier installation; then the default.
  ${If} $INSTDIR == ""
    ReadRegStr $INSTDIR HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${EndIf}
  ${If} $INSTDIR == ""
    ${If} ${RunningX64}
      StrCpy $INSTDIR "$PROGRAMFILES64\${FOLDER}"
    ${Else}
      StrCpy $INSTDIR "$PROGRAMFILES\${FOLDER}"
    ${EndIf}
  ${EndIf}
FunctionEnd

Section
  SetOutPath "$INSTDIR"
  ${If} ${RunningX64}
    File "/oname=Trelmo.dll" "${TRELMO64}"
    !ifdef SKAVIN64
      File "/oname=Skavin.exe" "${SKAVIN64}"
    !endif
    SetOutPath "$INSTDIR\x86"
    File "/oname=Trelmo.dll" "${TRELMO32}"
    SetOutPath "$INSTDIR"
  ${Else}
    File "/oname=Trelmo.dll" "${TRELMO32}"
    !ifdef SKAVIN32
      File "/oname=Skavin.exe" "${SKAVIN32}"
    !endif
  ${EndIf}

  ; The uninstaller comes first, so that a failed registration can still be undone.
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  !insertmacro Register 1 "$INSTDIR\Trelmo.dll"
  ${If} ${RunningX64}
    !insertmacro Register 0 "$INSTDIR\x86\Trelmo.dll"
  ${EndIf}

  CreateDirectory "${MENU}"
  !ifdef SKAVIN32
    CreateShortcut "${MENU}\${SKAVIN_LINK}" "$INSTDIR\Skavin.exe"
  !endif
  CreateShortcut "${MENU}\${UNINSTALL_LINK}" "$INSTDIR\Uninstall.exe"
SectionEnd

Function un.onInit
  SetShellVarContext all
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ; The 32-bit library first: the keys both views share go with the last one unregistered.
  ${If} ${RunningX64}
    !insertmacro Unregister 0 "$INSTDIR\x86\Trelmo.dll"
  ${EndIf}
  !insertmacro Unregister 1 "$INSTDIR\Trelmo.dll"

  Delete "${MENU}\${SKAVIN_LINK}"
  Delete "${MENU}\${UNINSTALL_LINK}"
  RMDir "${MENU}"

  Delete "$INSTDIR\x86\Trelmo.dll"
  RMDir "$INSTDIR\x86"
  Delete "$INSTDIR\Trelmo.dll"
  Delete "$INSTDIR\Skavin.exe"
  ; The default log files of the driver and of the test program.
  Delete "$INSTDIR\Trelmo.log"
  Delete "$INSTDIR\TrelmoStatus.log"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  ; The company's folders, when nothing else of it is installed.
  ${If} ${RunningX64}
    RMDir "$PROGRAMFILES64\${COMPANY}\Драйверы"
    RMDir "$PROGRAMFILES64\${COMPANY}"
  ${Else}
    RMDir "$PROGRAMFILES\${COMPANY}\Драйверы"
    RMDir "$PROGRAMFILES\${COMPANY}"
  ${EndIf}

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
