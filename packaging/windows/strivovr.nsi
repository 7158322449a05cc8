; The Windows setup program, built on Linux by scripts/package.sh:
;   makensis -DVERSION=<x.y.z> -DSTAGE=<staged program folder> -DFILES=<file list> -DOUTFILE=<setup.exe> strivovr.nsi
; STAGE is the folder the portable zip holds; FILES is an include file with one
; "${ITEM} <name>" or "${FOLDER} <name>" line per entry at the top of STAGE, so the
; uninstaller removes exactly what was installed and nothing else the folder holds.
;
; Installs for the whole machine into Program Files\StrivoVR. Optional parts, all on
; by default (and in silent mode, /S): the SteamVR driver registration (through
; SteamVR's vrpathreg, found as the program finds it), the OpenXR layer registration
; (HKLM, a DWORD 0 named by the manifest's path) and firewall rules for private
; networks. An older version in the same folder is uninstalled first, keeping the
; user's settings (%LOCALAPPDATA%\StrivoVR); the uninstaller keeps them unless asked.

!ifndef VERSION | STAGE | FILES | OUTFILE
  !error "VERSION, STAGE, FILES and OUTFILE must be defined"
!endif

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT "StrivoVR"
!define PUBLISHER "StrivoVR"
!define UNINSTALL_KEY "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\StrivoVR"
!define LAYER_KEY "SOFTWARE\Khronos\OpenXR\1\ApiLayers\Implicit"
!define STEAMVR_KEY "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Steam App 250820"
!define PAD_BUS_KEY "SYSTEM\CurrentControlSet\Services\ViGEmBus"
!define PAD_BUS_URL "https://github.com/nefarius/ViGEmBus/releases"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${__FILEDIR__}/../../assets/images/strivovr.ico"
!define MUI_UNICON "${__FILEDIR__}/../../assets/images/strivovr.ico"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
; No "run now" box: started from here the program would run elevated, and its shared
; memory would then be out of reach of the games the user starts.
!define MUI_FINISHPAGE_LINK "The Xbox controller output needs the ViGEmBus driver: download it"
!define MUI_FINISHPAGE_LINK_LOCATION "${PAD_BUS_URL}"
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishPageShow

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; SteamVR's driver registration tool in $0 ("" when SteamVR is not installed), looked
; for where the program looks: SteamVR's uninstall entry, Steam's own folder, then
; Steam's default folder.
!macro DEFINE_FIND_VRPATHREG PREFIX
Function ${PREFIX}FindVrpathreg
  Push $1
  StrCpy $0 ""
  ReadRegStr $1 HKLM "${STEAMVR_KEY}" "InstallLocation"
  ${If} $1 == ""
    SetRegView 32
    ReadRegStr $1 HKLM "${STEAMVR_KEY}" "InstallLocation"
    SetRegView 64
  ${EndIf}
  ${If} $1 != ""
  ${AndIf} ${FileExists} "$1\bin\win64\vrpathreg.exe"
    StrCpy $0 "$1\bin\win64\vrpathreg.exe"
  ${Else}
    ReadRegStr $1 HKCU "SOFTWARE\Valve\Steam" "SteamPath"
    ${If} $1 != ""
    ${AndIf} ${FileExists} "$1\steamapps\common\SteamVR\bin\win64\vrpathreg.exe"
      StrCpy $0 "$1\steamapps\common\SteamVR\bin\win64\vrpathreg.exe"
    ${ElseIf} ${FileExists} "$PROGRAMFILES32\Steam\steamapps\common\SteamVR\bin\win64\vrpathreg.exe"
      StrCpy $0 "$PROGRAMFILES32\Steam\steamapps\common\SteamVR\bin\win64\vrpathreg.exe"
    ${EndIf}
  ${EndIf}
  Pop $1
FunctionEnd
!macroend
!insertmacro DEFINE_FIND_VRPATHREG ""
!insertmacro DEFINE_FIND_VRPATHREG "un."

; Runs netsh with the given arguments and logs them with its exit code.
!macro NETSH ARGUMENTS
  nsExec::ExecToLog '"$SYSDIR\netsh.exe" ${ARGUMENTS}'
  Pop $1
  DetailPrint `netsh ${ARGUMENTS}: $1`
!macroend

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "StrivoVR (required)" SecProgram
  SectionIn RO
  ; An installed version is removed by its own uninstaller, in place (it keeps the settings).
  ${If} ${FileExists} "$INSTDIR\uninstall.exe"
    DetailPrint "Removing the installed version first (your settings stay)..."
    ExecWait '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR' $0
    DetailPrint "Uninstaller of the installed version: $0"
    Delete "$INSTDIR\uninstall.exe"
  ${EndIf}
  SetOutPath "$INSTDIR"
  File /r "${STAGE}/*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\StrivoVR.exe" "" "$INSTDIR\StrivoVR.exe" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\StrivoVR.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Register the SteamVR driver" SecDriver
  Call FindVrpathreg
  ${If} $0 == ""
    DetailPrint "SteamVR is not installed: the SteamVR driver was not registered (register it later from the program's Status tab)."
  ${Else}
    nsExec::ExecToLog '"$0" adddriver "$INSTDIR\drivers\gaitrelay"'
    Pop $1
    DetailPrint "$0 adddriver $INSTDIR\drivers\gaitrelay: $1"
  ${EndIf}
SectionEnd

Section "Register the OpenXR layer" SecLayer
  WriteRegDWORD HKLM "${LAYER_KEY}" "$INSTDIR\api_layer\gait_xrlayer.json" 0
SectionEnd

Section "Allow StrivoVR through the firewall (private networks)" SecFirewall
  !insertmacro NETSH 'advfirewall firewall delete rule name="StrivoVR_App"'
  !insertmacro NETSH 'advfirewall firewall add rule name="StrivoVR_App" dir=in action=allow program="$INSTDIR\StrivoVR.exe" enable=yes profile=private'
  !insertmacro NETSH 'advfirewall firewall delete rule name="StrivoVR_Headless"'
  !insertmacro NETSH 'advfirewall firewall add rule name="StrivoVR_Headless" dir=in action=allow program="$INSTDIR\strivovr-headless.exe" enable=yes profile=private'
SectionEnd

; The finish page links to the pad bus driver only when it is missing.
Function FinishPageShow
  ClearErrors
  EnumRegKey $0 HKLM "${PAD_BUS_KEY}" 0
  ${IfNot} ${Errors}
    ShowWindow $mui.FinishPage.Link ${SW_HIDE}
  ${EndIf}
FunctionEnd

!define ITEM "!insertmacro REMOVE_ITEM"
!define FOLDER "!insertmacro REMOVE_FOLDER"
; A file in use (the driver while SteamVR runs) goes at the next restart.
!macro REMOVE_ITEM NAME
  Delete /REBOOTOK "$INSTDIR\${NAME}"
!macroend
!macro REMOVE_FOLDER NAME
  RMDir /r /REBOOTOK "$INSTDIR\${NAME}"
!macroend

Section "Uninstall"
  Call un.FindVrpathreg
  ${If} $0 != ""
    nsExec::ExecToLog '"$0" removedriver "$INSTDIR\drivers\gaitrelay"'
    Pop $1
    DetailPrint "$0 removedriver $INSTDIR\drivers\gaitrelay: $1"
  ${EndIf}
  DeleteRegValue HKLM "${LAYER_KEY}" "$INSTDIR\api_layer\gait_xrlayer.json"
  !insertmacro NETSH 'advfirewall firewall delete rule name="StrivoVR_App"'
  !insertmacro NETSH 'advfirewall firewall delete rule name="StrivoVR_Headless"'

  !include "${FILES}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ; The settings belong to the user who runs the uninstaller; they stay unless asked.
  SetShellVarContext current
  ${If} ${FileExists} "$LOCALAPPDATA\${PRODUCT}\*.*"
    MessageBox MB_YESNO|MB_DEFBUTTON2|MB_ICONQUESTION "Also delete your StrivoVR settings ($LOCALAPPDATA\${PRODUCT})?" /SD IDNO IDNO keep_settings
    RMDir /r "$LOCALAPPDATA\${PRODUCT}"
    keep_settings:
  ${EndIf}
SectionEnd
