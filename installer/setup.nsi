; The per-user setup of the Movarix components: the AVI splitter and merger into the plugins
; folder of the user's Movarix, the component list editor beside Movarix's list, and the progress
; bar control into a folder of the user's own, registered for this user only. Nothing here needs
; an administrator, and the uninstaller takes all of it away again.
;
; From the command line:
;   setup.exe /S [/LIST=<folder of Comp_lst.dll>] [/D=<Movarix folder>]   (/D= comes last)
;   uninstall.exe /S
; A silent run that cannot install says why on its console or standard error, ends with exit
; code 2 and changes nothing.
;
; scripts/dist.sh passes PRODUCT_NSH (name and version, written by CMake), FILES (the staged
; release files) and OUTFILE.

Unicode true
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include "${PRODUCT_NSH}"
!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT_NAME}"
; Where Movarix records its installation folder for the plug-ins, as the merger reads it.
!define HOST_KEY "Software\movarix\plugins"
!define HOST_VALUE "tmp"
!define LIST_FILE "Comp_lst.dll"
!define EXIT_REFUSED 2
!define EXIT_FAILED 3

Name "${PRODUCT_NAME} ${PRODUCT_VERSION}"
Caption "${PRODUCT_NAME} ${PRODUCT_VERSION} Setup"
UninstallCaption "${PRODUCT_NAME} ${PRODUCT_VERSION} Uninstall"
BrandingText "${PRODUCT_NAME} ${PRODUCT_VERSION}"
OutFile "${OUTFILE}"
SpaceTexts none
ShowInstDetails show
ShowUninstDetails show

Var ListDir     ; the folder that holds Movarix's component list
Var ListChosen  ; 1 when the user chose the list folder (command line or its page)
Var OwnDir      ; the user's own folder: the control and the uninstaller
Var HostNote    ; what the Movarix folder page says about where its folder came from

;---- pages

!define MUI_ABORTWARNING

!define MUI_PAGE_HEADER_TEXT "Movarix folder"
!define MUI_PAGE_HEADER_SUBTEXT "The Movarix installation that gets the plug-ins."
!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup puts the AVI splitter and the AVI merger into the plugins folder of your Movarix installation. $HostNote"
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Movarix installation folder"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE HostPageLeave
!insertmacro MUI_PAGE_DIRECTORY

!define MUI_PAGE_HEADER_TEXT "Component list"
!define MUI_PAGE_HEADER_SUBTEXT "Where the component list editor goes."
!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup puts the component list editor beside Movarix's component list ${LIST_FILE}, which is usually in the Movarix installation folder. Setup never creates, changes or removes the list."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Folder that holds ${LIST_FILE}"
!define MUI_DIRECTORYPAGE_VARIABLE $ListDir
!define MUI_PAGE_CUSTOMFUNCTION_PRE ListPagePre
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE ListPageLeave
!insertmacro MUI_PAGE_DIRECTORY

!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${PRODUCT_VERSION4}"
VIFileVersion "${PRODUCT_VERSION4}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PRODUCT_PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT_NAME} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright ${PRODUCT_PUBLISHER}"

;---- shared by the installer and the uninstaller

!macro SHARED_FUNCTIONS un
; Tells the user why setup cannot go on ($R9): in a message box, or, in a silent run, which has
; no window, on the console or in the pipe that started it.
Function ${un}Report
    ${IfNot} ${Silent}
        MessageBox MB_OK|MB_ICONSTOP "$R9"
        Return
    ${EndIf}
    System::Call 'kernel32::GetStdHandle(i -12) p .r1'
    ${If} $1 == 0
    ${OrIf} $1 == -1
        System::Call 'kernel32::AttachConsole(i -1)'
        System::Call 'kernel32::CreateFileW(w "CONOUT$$", i 0x40000000, i 3, p 0, i 3, i 0, p 0) p .r1'
    ${EndIf}
    StrCpy $2 "${PRODUCT_NAME} setup: $R9$\r$\n"
    System::Call 'kernel32::GetConsoleMode(p r1, *i .r3) i .r4'
    ${If} $4 != 0
        StrLen $3 $2
        System::Call 'kernel32::WriteConsoleW(p r1, w r2, i r3, *i .r5, p 0)'
    ${Else}
        ; A pipe or a file gets UTF-8, whatever the code pages.
        System::Call 'kernel32::WideCharToMultiByte(i 65001, i 0, w r2, i -1, p 0, i 0, p 0, p 0) i .r3'
        System::Alloc $3
        Pop $4
        System::Call 'kernel32::WideCharToMultiByte(i 65001, i 0, w r2, i -1, p r4, i r3, p 0, p 0)'
        IntOp $3 $3 - 1
        System::Call 'kernel32::WriteFile(p r1, p r4, i r3, *i .r5, p 0)'
        System::Free $4
    ${EndIf}
FunctionEnd

; Takes an install away: $0 the Movarix folder, $1 the list folder, $2 the user's own folder.
; The control is unregistered before its file goes, so that no key names a missing file. Sets
; $R9 to a message when a file stays (in use); the uninstall entry then stays too, so that the
; user can run the uninstaller again.
Function ${un}RemoveInstall
    StrCpy $R9 ""
    SetOutPath $TEMP  ; a folder that is the working folder cannot be removed
    ${If} ${RunningX64}
    ${AndIf} ${FileExists} "$2\x64\gaugekit.dll"
        ExecWait '"$WINDIR\Sysnative\regsvr32.exe" /s /u /n /i:user "$2\x64\gaugekit.dll"'
    ${EndIf}
    ${If} ${FileExists} "$2\x86\gaugekit.dll"
        ExecWait '"$SYSDIR\regsvr32.exe" /s /u /n /i:user "$2\x86\gaugekit.dll"'
    ${EndIf}
    ; An empty folder would make these paths relative to the drive's root: skip them.
    ${If} $0 != ""
        Push "$0\plugins\clipcutter.exe"
        Call ${un}RemoveFile
        Push "$0\plugins\clipjoiner.exe"
        Call ${un}RemoveFile
    ${EndIf}
    ${If} $1 != ""
        Push "$1\partroster.exe"
        Call ${un}RemoveFile
    ${EndIf}
    Push "$2\x64\gaugekit.dll"
    Call ${un}RemoveFile
    Push "$2\x86\gaugekit.dll"
    Call ${un}RemoveFile
    RMDir "$2\x64"
    RMDir "$2\x86"
    Delete "$2\uninstall.exe"
    RMDir "$2"
    ; Made for us when no other per-user program had one; removed only when empty.
    RMDir "$LOCALAPPDATA\Programs"
    ${If} $R9 == ""
        DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ${EndIf}
FunctionEnd

; Deletes the file on the stack; when it stays, adds it to the message in $R9.
Function ${un}RemoveFile
    Exch $3
    Delete $3
    ${If} ${FileExists} $3
        ${If} $R9 == ""
            StrCpy $R9 "These files are in use and stay; close the programs that use them and uninstall again:"
        ${EndIf}
        StrCpy $R9 "$R9$\r$\n$3"
    ${EndIf}
    Pop $3
FunctionEnd
!macroend
!insertmacro SHARED_FUNCTIONS ""
!insertmacro SHARED_FUNCTIONS "un."

;---- installer

Function .onInit
    StrCpy $OwnDir "$LOCALAPPDATA\Programs\${PRODUCT_NAME}"
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/LIST=" $R1
    ${IfNot} ${Errors}
        Push $R1
        Call WithoutTrailingSlash
        Pop $ListDir
        StrCpy $ListChosen 1
    ${EndIf}
    ; The Movarix folder: /D=, else where Movarix records it (as the merger finds it), else where
    ; an earlier install put the plug-ins.
    ${If} $INSTDIR == ""
        ReadRegStr $INSTDIR HKCU "${HOST_KEY}" "${HOST_VALUE}"
        StrCpy $HostNote "Movarix records the folder below as its installation folder."
    ${EndIf}
    ${If} $INSTDIR == ""
        ReadRegStr $INSTDIR HKCU "${UNINSTALL_KEY}" "HostFolder"
        StrCpy $HostNote "Movarix has recorded no installation folder for you; the folder below is where they were installed before."
    ${EndIf}
    ${If} $INSTDIR == ""
        StrCpy $HostNote "Movarix has recorded no installation folder for you: choose the folder Movarix is installed in."
    ${EndIf}
    Push $INSTDIR
    Call WithoutTrailingSlash
    Pop $INSTDIR

    ${If} ${Silent}
        Call CheckHost
        ${If} $R9 == ""
            ${If} $ListChosen != 1
                Call DefaultListDir
            ${EndIf}
            Call CheckList
        ${EndIf}
        ${If} $R9 != ""
            Call Report
            SetErrorLevel ${EXIT_REFUSED}
            Quit
        ${EndIf}
    ${EndIf}
FunctionEnd

; The path on the stack without a trailing "\" (Movarix records its folder either way); a drive
; root keeps its own.
Function WithoutTrailingSlash
    Exch $0
    Push $1
    StrCpy $1 $0 1 -1
    StrLen $2 $0
    ${If} $1 == "\"
    ${AndIf} $2 > 3
        StrCpy $0 $0 -1
    ${EndIf}
    Pop $1
    Exch $0
FunctionEnd

; $R9: empty when $INSTDIR is a Movarix installation folder, else why not.
Function CheckHost
    StrCpy $R9 ""
    ${If} $INSTDIR == ""
        StrCpy $R9 "Movarix has recorded no installation folder for you (HKEY_CURRENT_USER\${HOST_KEY}, value ${HOST_VALUE}). Name the folder Movarix is installed in with /D=<folder>."
    ${ElseIfNot} ${FileExists} "$INSTDIR\plugins\*.*"
        StrCpy $R9 "$INSTDIR is not a Movarix installation folder: it has no plugins folder."
    ${EndIf}
FunctionEnd

; $R9: empty when $ListDir holds the component list, else why not.
Function CheckList
    StrCpy $R9 ""
    ${IfNot} ${FileExists} "$ListDir\${LIST_FILE}"
        StrCpy $R9 "$ListDir holds no component list ${LIST_FILE}. Setup puts the component list editor beside the list and never makes one."
        ${If} ${Silent}
            StrCpy $R9 "$R9 Name the folder that holds it with /LIST=<folder>."
        ${EndIf}
    ${EndIf}
FunctionEnd

; The list folder an upgrade keeps, or else the Movarix folder.
Function DefaultListDir
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "HostFolder"
    ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "ListFolder"
    ${If} $0 == $INSTDIR
    ${AndIf} $1 != ""
        StrCpy $ListDir $1
    ${Else}
        StrCpy $ListDir $INSTDIR
    ${EndIf}
FunctionEnd

Function HostPageLeave
    Call CheckHost
    ${If} $R9 != ""
        Call Report
        Abort
    ${EndIf}
FunctionEnd

Function ListPagePre
    ${If} $ListChosen != 1
        Call DefaultListDir
    ${EndIf}
FunctionEnd

Function ListPageLeave
    Push $ListDir
    Call WithoutTrailingSlash
    Pop $ListDir
    Call CheckList
    ${If} $R9 != ""
        Call Report
        Abort
    ${EndIf}
    ${If} $ListDir != $INSTDIR
        StrCpy $ListChosen 1
    ${EndIf}
FunctionEnd

; Registers the control for this user in each bitness the system runs; $R9 says what failed.
Function RegisterControl
    StrCpy $R9 ""
    ${If} ${RunningX64}
        StrCpy $0 "not started"
        ExecWait '"$WINDIR\Sysnative\regsvr32.exe" /s /n /i:user "$OwnDir\x64\gaugekit.dll"' $0
        ${If} $0 != 0
            StrCpy $R9 "Setup could not register the progress bar control $OwnDir\x64\gaugekit.dll for you (regsvr32: $0)."
            Return
        ${EndIf}
    ${EndIf}
    StrCpy $0 "not started"
    ExecWait '"$SYSDIR\regsvr32.exe" /s /n /i:user "$OwnDir\x86\gaugekit.dll"' $0
    ${If} $0 != 0
        StrCpy $R9 "Setup could not register the progress bar control $OwnDir\x86\gaugekit.dll for you (regsvr32: $0)."
    ${EndIf}
FunctionEnd

Section "-Install" SecInstall
    ; An earlier install's places: what it left there goes once the new files are in.
    ReadRegStr $5 HKCU "${UNINSTALL_KEY}" "HostFolder"
    ReadRegStr $6 HKCU "${UNINSTALL_KEY}" "ListFolder"

    SetOverwrite on
    SetOutPath "$INSTDIR\plugins"
    File "${FILES}\plugins\clipcutter.exe"
    File "${FILES}\plugins\clipjoiner.exe"
    SetOutPath "$ListDir"
    File "${FILES}\partroster.exe"
    SetOutPath "$OwnDir\x86"
    File "${FILES}\x86\gaugekit.dll"
    ${If} ${RunningX64}
        SetOutPath "$OwnDir\x64"
        File "${FILES}\x64\gaugekit.dll"
    ${EndIf}
    SetOutPath "$OwnDir"
    WriteUninstaller "$OwnDir\uninstall.exe"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_NAME}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${PRODUCT_VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PRODUCT_PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$ListDir\partroster.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$OwnDir"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$OwnDir\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$OwnDir\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    SectionGetSize ${SecInstall} $0
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
    WriteRegStr HKCU "${UNINSTALL_KEY}" "HostFolder" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "ListFolder" "$ListDir"

    ${If} $5 != ""
    ${AndIf} $5 != $INSTDIR
        Delete "$5\plugins\clipcutter.exe"
        Delete "$5\plugins\clipjoiner.exe"
    ${EndIf}
    ${If} $6 != ""
    ${AndIf} $6 != $ListDir
        Delete "$6\partroster.exe"
    ${EndIf}

    Call RegisterControl
    ${If} $R9 != ""
        ; Half an install helps no one: take it all back and say so.
        StrCpy $7 $R9
        StrCpy $0 $INSTDIR
        StrCpy $1 $ListDir
        StrCpy $2 $OwnDir
        Call RemoveInstall
        StrCpy $R9 "$7 Nothing was installed."
        Call Report
        SetErrorLevel ${EXIT_FAILED}
        Abort
    ${EndIf}
SectionEnd

;---- uninstaller

Section "Uninstall"
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "HostFolder"
    ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "ListFolder"
    StrCpy $2 $INSTDIR
    Call un.RemoveInstall
    ${If} $R9 != ""
        Call un.Report
        SetErrorLevel ${EXIT_FAILED}
    ${EndIf}
SectionEnd
