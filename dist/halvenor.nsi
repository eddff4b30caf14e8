; The setup program of Halvenor. Built by make-dist.sh, which passes:
;   VERSION      "2.0"      STAGE  folder with the files to install
;   OUTFILE      the setup program to write
;   HAVE_LIB64, HAVE_LIB32, HAVE_LISTS   when those parts are in STAGE
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"
!include "FileFunc.nsh"

!define PRODUCT "Halvenor"
!define PUBLISHER "Mossgrave"
!define PRODUCT_KEY "SOFTWARE\Halvenor"
!define UNINSTALL_KEY "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Halvenor"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show

!define MUI_ICON "${STAGE}/setup.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\Mossgrave.exe"
!define MUI_FINISHPAGE_RUN_TEXT "启动 Halvenor"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_LANGUAGE "SimpChinese"

VIProductVersion "${VERSION}.0.0"
VIFileVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "Halvenor 安装程序"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "OriginalFilename" "Halvenor-setup-${VERSION}.exe"

; A file in use cannot be overwritten, but it can be renamed: the running
; copy goes on working and its renamed file is deleted at the next restart.
!macro PutFile SOURCE TARGET
  ${If} ${FileExists} "${TARGET}"
    Delete "${TARGET}.old"
    Rename "${TARGET}" "${TARGET}.old"
    Delete /REBOOTOK "${TARGET}.old"
  ${EndIf}
  File "/oname=${TARGET}" "${SOURCE}"
!macroend

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "Halvenor 需要 64 位的 Windows。" /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  ; Over an earlier installation: the same folder.
  ReadRegStr $0 HKLM "${PRODUCT_KEY}" "InstallDir"
  ${If} $0 != ""
    StrCpy $INSTDIR $0
  ${EndIf}
FunctionEnd

Section "Halvenor"
  SetShellVarContext all
  SetRegView 64
  ; Real paths throughout: the 32-bit setup would otherwise be redirected
  ; away from the 64-bit system directory.
  ${DisableX64FSRedirection}

  ; The settings files (nf.cfg and its backup) are never touched here, so
  ; a reinstall keeps the parent's settings and password.
  CreateDirectory "$INSTDIR"
  SetOutPath "$INSTDIR"
  !insertmacro PutFile "${STAGE}/Mossgrave.exe" "$INSTDIR\Mossgrave.exe"
  !insertmacro PutFile "${STAGE}/unins000.exe" "$INSTDIR\unins000.exe"
  File "/oname=$INSTDIR\Telvaris.chm" "${STAGE}/Telvaris.chm"
!ifdef HAVE_LISTS
  SetOutPath "$INSTDIR\lists"
  File "${STAGE}/lists/*.txt"
  SetOutPath "$INSTDIR"
!endif

!ifdef HAVE_LIB64
  !insertmacro PutFile "${STAGE}/x64/Quorvane.dll" "$WINDIR\System32\Quorvane.dll"
!endif
!ifdef HAVE_LIB32
  !insertmacro PutFile "${STAGE}/x86/Quorvane.dll" "$WINDIR\SysWOW64\Quorvane.dll"
!endif

  ; The filter library finds the program folder (and its lists) here.
  WriteRegStr HKLM "${PRODUCT_KEY}" "InstallDir" "$INSTDIR"

  CreateDirectory "$SMPROGRAMS\Halvenor"
  CreateShortcut "$SMPROGRAMS\Halvenor\Halvenor.lnk" "$INSTDIR\Mossgrave.exe" "" "$INSTDIR\Mossgrave.exe" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Mossgrave.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\unins000.exe"'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntOp $0 $0 + ${LIBRARY_KB}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  ${EnableX64FSRedirection}
SectionEnd
