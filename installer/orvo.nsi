; The orvo_Printer installer: both programs in one folder, the orvo: scheme,
; the entry in the list of installed programs, and an uninstaller that takes
; away only what the installer wrote. Built by installer/CMakeLists.txt:
;   makensis -INPUTCHARSET UTF8 -DORVO_VERSION=1.2.3 -DORVO_ARCH=x86|amd64
;            -DORVO_PRINTER_EXE=... -DORVO_AGENT_EXE=... -DORVO_SETUP_EXE=... orvo.nsi
;
; Exit codes of a silent run (/S):
;   /Servers=ORIGIN,ORIGIN,...  trusts these servers: the machine list of an
;   all-users install, the user's own list of a current-user install (it may
;   not write the machine's); the uninstall removes exactly these values.
;
;   0  done
;   1  cancelled by the user
;   2  failed (a file or key could not be written); the run stopped there
;   3  orvo_Printer is running or its file is in use; nothing was changed
;   4  an all-users (un)install needs administrator rights; nothing was changed

!ifndef ORVO_VERSION | ORVO_ARCH | ORVO_PRINTER_EXE | ORVO_AGENT_EXE | ORVO_SETUP_EXE
  !error "ORVO_VERSION, ORVO_ARCH, ORVO_PRINTER_EXE, ORVO_AGENT_EXE and ORVO_SETUP_EXE must be defined"
!endif

!if "${ORVO_ARCH}" == "amd64"
  Target amd64-unicode
  !define MULTIUSER_USE_PROGRAMFILES64
!else if "${ORVO_ARCH}" == "x86"
  Target x86-unicode
!else
  !error "ORVO_ARCH must be x86 or amd64"
!endif

!define PRODUCT "orvo_Printer"
!define SCHEME_KEY "Software\Classes\orvo"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\orvo_Printer"
!define SCHEME_DESCRIPTION "URL:orvo 报表打印"
!define MACHINE_SERVERS_KEY "Software\Policies\orvo\TrustedServers"
!define USER_SERVERS_KEY "Software\orvo\TrustedServers"
!define EXIT_RUNNING 3
!define EXIT_NEEDS_ADMIN 4

Name "${PRODUCT}"
OutFile "${ORVO_SETUP_EXE}"
; Authenticode, when the build's environment names a certificate (the script
; does nothing without one). The uninstaller is signed before it is packed,
; so the installer carries it signed.
!ifdef ORVO_SIGN_SCRIPT
  !uninstfinalize 'bash "${ORVO_SIGN_SCRIPT}" "%1"' = 0
  !finalize 'bash "${ORVO_SIGN_SCRIPT}" "%1"' = 0
!endif
SetCompressor /SOLID lzma
; A file that cannot be written stops the run: a silent run must never skip
; one and report success.
AllowSkipFiles off
ShowInstDetails show
ShowUninstDetails show
ManifestDPIAware true
BrandingText "${PRODUCT} ${ORVO_VERSION}"

VIProductVersion "${ORVO_VERSION}.0"
VIAddVersionKey /LANG=2052 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=2052 "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=2052 "FileVersion" "${ORVO_VERSION}.0"
VIAddVersionKey /LANG=2052 "ProductVersion" "${ORVO_VERSION}.0"
VIAddVersionKey /LANG=2052 "CompanyName" "orvo"
VIAddVersionKey /LANG=2052 "LegalCopyright" "orvo"

; ---- All users or the current user (standard switches /AllUsers, /CurrentUser)
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_INSTDIR "${PRODUCT}"
!define MULTIUSER_INSTALLMODE_FUNCTION onInstallModeChosen
!define MULTIUSER_INIT_FUNCTIONQUIT quitNeedsAdmin
!define MULTIUSER_INIT_un.FUNCTIONQUIT un.quitNeedsAdmin
!define MULTIUSER_INIT_TEXT_ADMINREQUIRED "需要管理员权限。"
!define MULTIUSER_INIT_TEXT_POWERREQUIRED "需要管理员权限。"
!define MULTIUSER_INIT_TEXT_ALLUSERSNOTPOSSIBLE "当前用户没有管理员权限，不能为本机所有用户安装 ${PRODUCT}。"
!include MultiUser.nsh
!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include StrFunc.nsh

!define MUI_ICON "${__FILEDIR__}\..\printer\resources\orvo_Printer.ico"
!define MUI_UNICON "${__FILEDIR__}\..\printer\resources\orvo_Printer.ico"
!define MUI_ABORTWARNING

!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

; ---- Shared by installer and uninstaller (PREFIX is "" or "un.")

;----- Trusted servers

; Runs the macro ACTION once for each item of the comma-separated LIST, with
; the item in $R1 (empty items are skipped). Uses $R0 to $R3.
!macro ORVO_FOR_EACH_SERVER LIST ACTION
  StrCpy $R0 `${LIST}`
  ${Do}
    StrCpy $R2 0
    ${Do}
      StrCpy $R3 $R0 1 $R2
      ${If} $R3 == ","
      ${OrIf} $R3 == ""
        ${ExitDo}
      ${EndIf}
      IntOp $R2 $R2 + 1
    ${Loop}
    StrCpy $R1 ""
    ${If} $R2 > 0
      StrCpy $R1 $R0 $R2
    ${EndIf}
    IntOp $R2 $R2 + 1
    StrCpy $R0 $R0 "" $R2
    ${If} $R1 != ""
      !insertmacro ${ACTION}
    ${EndIf}
  ${LoopUntil} $R3 == ""
!macroend
!macro ORVO_TRUST_SERVER
  WriteRegStr SHCTX "$serversKey" "$R1" ""
!macroend
!macro ORVO_FORGET_SERVER
  DeleteRegValue SHCTX "$serversKey" "$R1"
!macroend

Var serversKey
Var serversParent

!macro ORVO_SHARED_FUNCTIONS PREFIX
  ; The list of trusted servers that this kind of install writes.
  Function ${PREFIX}chooseServersKey
    ${If} $MultiUser.InstallMode == "AllUsers"
      StrCpy $serversKey "${MACHINE_SERVERS_KEY}"
      StrCpy $serversParent "Software\Policies\orvo"
    ${Else}
      StrCpy $serversKey "${USER_SERVERS_KEY}"
      StrCpy $serversParent "Software\orvo"
    ${EndIf}
  FunctionEnd

  ; The 64-bit test build keeps its keys in the 64-bit view of the registry.
  Function ${PREFIX}useRegistryView
    !if "${ORVO_ARCH}" == "amd64"
      SetRegView 64
    !endif
  FunctionEnd

  Function ${PREFIX}quitNeedsAdmin
    SetErrorLevel ${EXIT_NEEDS_ADMIN}
    Quit
  FunctionEnd

  ; A silent run must not stop at MultiUser's message box: /AllUsers without
  ; administrator rights ends at once with its own exit code.
  Function ${PREFIX}refuseSilentAllUsersWithoutAdmin
    ${IfNot} ${Silent}
      Return
    ${EndIf}
    ${GetParameters} $0
    ${GetOptions} $0 "/AllUsers" $1
    ${If} ${Errors}
      Return
    ${EndIf}
    UserInfo::GetAccountType
    Pop $1
    ${If} $1 != "Admin"
    ${AndIf} $1 != "Power"
      Call ${PREFIX}quitNeedsAdmin
    ${EndIf}
  FunctionEnd

  ; Never half-replace or half-remove a running orvo_Printer: ask the user to
  ; close it; a silent run (or "取消") ends with EXIT_RUNNING and changes nothing.
  Function ${PREFIX}waitUntilProgramClosed
    ${Do}
      Call ${PREFIX}isProgramInUse
      Pop $0
      ${If} $0 == 0
        Return
      ${EndIf}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
        "${PRODUCT} 正在运行，或其程序文件正被使用。$\r$\n请先关闭它，然后点“重试”；点“取消”则不做任何更改。" \
        /SD IDCANCEL IDRETRY again
      SetErrorLevel ${EXIT_RUNNING}
      Quit
      again:
    ${Loop}
  FunctionEnd

  ; Pushes 1 when a running orvo_Printer shows its application window, or the
  ; installed program file cannot be opened for writing (running elsewhere).
  Function ${PREFIX}isProgramInUse
    FindWindow $0 "TApplication" "${PRODUCT}"
    ${If} $0 <> 0
      Push 1
      Return
    ${EndIf}
    ${If} ${FileExists} "$INSTDIR\orvo_Printer.exe"
      ClearErrors
      FileOpen $0 "$INSTDIR\orvo_Printer.exe" a
      ${If} ${Errors}
        Push 1
        Return
      ${EndIf}
      FileClose $0
    ${EndIf}
    Push 0
  FunctionEnd
!macroend
!insertmacro ORVO_SHARED_FUNCTIONS ""
!insertmacro ORVO_SHARED_FUNCTIONS "un."

; ---- Installer

Var folderFromCommandLine

Function .onInit
  Call useRegistryView
  Call refuseSilentAllUsersWithoutAdmin
  ; /D= sets $INSTDIR before this runs; the mode's default must not replace it.
  StrCpy $folderFromCommandLine $INSTDIR
  !insertmacro MULTIUSER_INIT
  ${If} $folderFromCommandLine != ""
    StrCpy $INSTDIR $folderFromCommandLine
  ${EndIf}
FunctionEnd

; Called whenever a mode is chosen: a new install of the same kind goes into
; the folder of the previous one, so an upgrade never leaves a second copy.
Function onInstallModeChosen
  ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    StrCpy $INSTDIR $0
  ${EndIf}
FunctionEnd

; Pushes the value of /Servers= (up to a blank or a quote), or "". Not
; GetOptions: it would end the value at the first "/" of "http://".
Function serversFromCommandLine
  ${GetParameters} $0
  ${StrStr} $1 $0 "/Servers="
  ${If} $1 == ""
    Push ""
    Return
  ${EndIf}
  StrCpy $1 $1 "" 9
  StrCpy $2 0
  ${Do}
    StrCpy $3 $1 1 $2
    ${If} $3 == ""
    ${OrIf} $3 == " "
    ${OrIf} $3 == '"'
      ${ExitDo}
    ${EndIf}
    IntOp $2 $2 + 1
  ${Loop}
  ${If} $2 > 0
    StrCpy $1 $1 $2
  ${Else}
    StrCpy $1 ""
  ${EndIf}
  Push $1
FunctionEnd

Section "${PRODUCT}"
  Call waitUntilProgramClosed
  SetOutPath "$INSTDIR"
  ; The program that may be running goes first: if it cannot be written,
  ; nothing has been replaced yet.
  File "/oname=orvo_Printer.exe" "${ORVO_PRINTER_EXE}"
  File "/oname=Agent.exe" "${ORVO_AGENT_EXE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The scheme. Agent derives the program's folder from DefaultIcon; "%1" in
  ; quotes hands over a link with a blank in it whole.
  WriteRegStr SHCTX "${SCHEME_KEY}" "" "${SCHEME_DESCRIPTION}"
  WriteRegStr SHCTX "${SCHEME_KEY}" "URL Protocol" ""
  WriteRegStr SHCTX "${SCHEME_KEY}\DefaultIcon" "" '"$INSTDIR\orvo_Printer.exe",0'
  WriteRegStr SHCTX "${SCHEME_KEY}\shell\open\command" "" '"$INSTDIR\Agent.exe" "%1"'

  ; The entry in the list of installed programs.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${ORVO_VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "orvo"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\orvo_Printer.exe",0'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1

  ; The servers an organisation trusts, so that its users are never asked.
  Call serversFromCommandLine
  Pop $1
  ${If} $1 != ""
    Call chooseServersKey
    !insertmacro ORVO_FOR_EACH_SERVER $1 ORVO_TRUST_SERVER
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "TrustedServers" $1
  ${EndIf}
SectionEnd

; ---- Uninstaller

Function un.onInit
  Call un.useRegistryView
  Call un.refuseSilentAllUsersWithoutAdmin
  !insertmacro MULTIUSER_UNINIT
  Call un.matchInstallMode
FunctionEnd

; The uninstaller works on the install it sits in: all users or current user
; is whichever list entry names this folder, whatever the default was.
Function un.matchInstallMode
  ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    Return
  ${EndIf}
  ${If} $MultiUser.InstallMode == "AllUsers"
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
      Call un.MultiUser.InstallMode.CurrentUser
    ${EndIf}
  ${Else}
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
      ${If} $MultiUser.Privileges != "Admin"
      ${AndIf} $MultiUser.Privileges != "Power"
        MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} 是为本机所有用户安装的，卸载需要管理员权限。" /SD IDOK
        Call un.quitNeedsAdmin
      ${EndIf}
      Call un.MultiUser.InstallMode.AllUsers
    ${EndIf}
  ${EndIf}
FunctionEnd

; Deletes a value only while it still holds what the installer wrote there,
; then the key if nothing else is left in it.
!macro ORVO_REMOVE_OWN_VALUE KEY NAME EXPECTED
  ReadRegStr $0 SHCTX "${KEY}" "${NAME}"
  ${If} $0 == `${EXPECTED}`
    DeleteRegValue SHCTX "${KEY}" "${NAME}"
  ${EndIf}
!macroend
!define RemoveOwnValue "!insertmacro ORVO_REMOVE_OWN_VALUE"
!define RemoveKeyIfEmpty "DeleteRegKey /ifnosubkeys /ifnovalues SHCTX"

Section "un.${PRODUCT}"
  Call un.waitUntilProgramClosed
  Delete "$INSTDIR\orvo_Printer.exe"
  Delete "$INSTDIR\Agent.exe"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: files someone else put here stay.
  RMDir "$INSTDIR"

  ; The scheme, as far as it is still ours: another install may have pointed
  ; it elsewhere, and other subkeys of orvo belong to someone else.
  ${RemoveOwnValue} "${SCHEME_KEY}\shell\open\command" "" '"$INSTDIR\Agent.exe" "%1"'
  ${RemoveKeyIfEmpty} "${SCHEME_KEY}\shell\open\command"
  ${RemoveKeyIfEmpty} "${SCHEME_KEY}\shell\open"
  ${RemoveKeyIfEmpty} "${SCHEME_KEY}\shell"
  ${RemoveOwnValue} "${SCHEME_KEY}\DefaultIcon" "" '"$INSTDIR\orvo_Printer.exe",0'
  ${RemoveKeyIfEmpty} "${SCHEME_KEY}\DefaultIcon"
  ClearErrors
  EnumRegKey $0 SHCTX "${SCHEME_KEY}" 0
  ${If} $0 == ""
  ${AndIfNot} ${Errors}
    ; No handler of anyone's is left: the scheme's own values go too.
    ${RemoveOwnValue} "${SCHEME_KEY}" "" "${SCHEME_DESCRIPTION}"
    ${RemoveOwnValue} "${SCHEME_KEY}" "URL Protocol" ""
    ${RemoveKeyIfEmpty} "${SCHEME_KEY}"
  ${EndIf}

  ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    ; The servers this install trusted; values others added stay.
    ReadRegStr $1 SHCTX "${UNINSTALL_KEY}" "TrustedServers"
    ${If} $1 != ""
      Call un.chooseServersKey
      !insertmacro ORVO_FOR_EACH_SERVER $1 ORVO_FORGET_SERVER
      ${RemoveKeyIfEmpty} "$serversKey"
      ${RemoveKeyIfEmpty} "$serversParent"
    ${EndIf}
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  ${EndIf}
SectionEnd
