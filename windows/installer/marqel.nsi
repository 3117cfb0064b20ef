; The Marqel installer: puts Marqel.dll and gen_marqel_wrap.dll into the player's Plugins folder,
; registers the component, and leaves an uninstaller in "Apps & features".
;
; Built by CMake (windows/installer/CMakeLists.txt), which defines:
;   VERSION        the project version, e.g. 1.1.2
;   VERSION_QUAD   the same with four numbers, for the version record, e.g. 1.1.2.0
;   MARQEL_DLL     path of Marqel.dll
;   WRAPPER_DLL    path of gen_marqel_wrap.dll
;   OUTFILE        path of the installer to write
;   ARCH           x86 (what ships: the player is a 32-bit program), or amd64 for the 64-bit
;                  twin the Wine tests use on machines that cannot run 32-bit code
;
; Command line:
;   /S                silent: no pages; the folder found below (or /D=) is used
;   /D=FOLDER         the player's folder (last on the line, no quotes, even with blanks)
; Uninstaller:
;   /S                silent: the settings file gen_marqel.ini is kept
;   /REMOVESETTINGS   remove gen_marqel.ini without asking (with or without /S)
;
; Exit status: 0 done; 1 cancelled by the user; 2 refused, with nothing changed (the player is
; running, or no administrator rights), or failed (the component did not register, so nothing
; was installed; or a file could not be removed).
;
; The player's folder, when no /D= is given, is the first of these that names an existing folder:
;   1. HKCU\Software\Winamp, default value: the player records its folder there;
;   2. the folder of UninstallString in the player's uninstall entry
;      HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp;
;   3. the player's default folder, $PROGRAMFILES32\Winamp.

Unicode true
!if ${ARCH} == amd64
  Target amd64-unicode
!endif
SetCompressor /SOLID lzma
RequestExecutionLevel admin  ; registering an in-process server writes HKEY_CLASSES_ROOT

!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh
!include MUI2.nsh

!define PRODUCT "Marqel"
!define PUBLISHER "Tolvane"
!define UNINSTALLER "Marqel-uninstall.exe"
!define SETTINGS "gen_marqel.ini"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Marqel"
!define PLAYER_KEY "Software\Winamp"
!define PLAYER_UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp"
; The player's main window, by which its interface is found; a window titled just "Winamp" is
; the player (or a stand-in for it) before it has a track.
!define PLAYER_WINDOW_CLASS "Winamp v1.x"
!define PLAYER_IDLE_TITLE "Winamp"
!define EXIT_REFUSED 2

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; Empty, so that .onInit can tell whether /D= gave the folder.
InstallDir ""
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion ${VERSION_QUAD}
VIFileVersion ${VERSION_QUAD}
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!define MUI_ABORTWARNING
!define MUI_PAGE_HEADER_TEXT "Choose the Player's Folder"
!define MUI_PAGE_HEADER_SUBTEXT "${PRODUCT} goes into the Plugins folder of the player."
!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup will put the ${PRODUCT} plug-in into the Plugins folder of \
  the player below, the folder the player recorded when it was installed. If the player lives \
  somewhere else, choose its folder (the one that holds winamp.exe)."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Player folder"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckChosenFolder
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; --- shared by installer and uninstaller --------------------------------------------------------

; The regsvr32 of the component's width. A 32-bit component needs the 32-bit regsvr32, which on
; 64-bit Windows is the one in SysWOW64 (named outright, so the choice does not hang on whether
; file-system redirection is on).
!macro Regsvr32Path un
  Function ${un}Regsvr32Path
    !if ${ARCH} == x86
      ${If} ${RunningX64}
        Push "$WINDIR\SysWOW64\regsvr32.exe"
        Return
      ${EndIf}
    !endif
    Push "$SYSDIR\regsvr32.exe"
  FunctionEnd
!macroend
!insertmacro Regsvr32Path ""
!insertmacro Regsvr32Path "un."

; Sets the error flag when FILE exists and cannot be opened for writing: a DLL a process has
; loaded cannot be.
!macro FileInUse FILE
  ${If} ${FileExists} "${FILE}"
    FileOpen $0 "${FILE}" a
    ${IfNot} ${Errors}
      FileClose $0
    ${EndIf}
  ${EndIf}
!macroend

; Waits until the player is closed: the user closes it and retries, or cancels (silent runs
; cancel at once). The player is running while its main window is there, or while it holds our
; files in the Plugins folder given on the stack: that finds it whatever its window is called,
; whenever replacing or removing our files would matter. Pushes 1 once closed, 0 on cancel.
!macro WaitForPlayerClosed un
  Function ${un}WaitForPlayerClosed
    Pop $1
    ${Do}
      ClearErrors
      FindWindow $0 "${PLAYER_WINDOW_CLASS}"
      ${If} $0 == 0
        FindWindow $0 "" "${PLAYER_IDLE_TITLE}"
      ${EndIf}
      ${If} $0 != 0
        SetErrors
      ${EndIf}
      !insertmacro FileInUse "$1\gen_marqel_wrap.dll"
      !insertmacro FileInUse "$1\Marqel.dll"
      ${IfNot} ${Errors}
        Push 1
        Return
      ${EndIf}
    ${LoopWhile} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "The player is running, or \
      holds the plug-in's files. Please close it, then press Retry." /SD IDCANCEL IDRETRY`
    Push 0
  FunctionEnd
!macroend
!insertmacro WaitForPlayerClosed ""
!insertmacro WaitForPlayerClosed "un."

; Administrator rights (an account without them does not register the component), and the player
; closed (the Plugins folder on the stack); otherwise the program leaves with EXIT_REFUSED.
!macro CheckPreconditions un
  Function ${un}CheckPreconditions
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
      MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} needs administrator rights to register its \
        component. Please run this program as an administrator." /SD IDOK
      SetErrorLevel ${EXIT_REFUSED}
      Quit
    ${EndIf}
    Call ${un}WaitForPlayerClosed
    Pop $0
    ${If} $0 == 0
      SetErrorLevel ${EXIT_REFUSED}
      Quit
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro CheckPreconditions ""
!insertmacro CheckPreconditions "un."

; --- installer ------------------------------------------------------------------------------------

; Pushes the first candidate of the lookup order (see the top) that is an existing folder.
Function FindPlayerFolder
  ReadRegStr $0 HKCU "${PLAYER_KEY}" ""
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\*.*"
    Push $0
    Return
  ${EndIf}
  ReadRegStr $0 HKLM "${PLAYER_UNINSTALL_KEY}" "UninstallString"
  ${If} $0 != ""
    ; A quoted program path, perhaps followed by options: keep what is inside the quotes.
    StrCpy $1 $0 1
    ${If} $1 == '"'
      StrCpy $0 $0 "" 1
      StrCpy $2 0
      ${Do}
        StrCpy $1 $0 1 $2
        ${IfThen} $1 == '"' ${|} ${ExitDo} ${|}
        ${IfThen} $1 == "" ${|} ${ExitDo} ${|}
        IntOp $2 $2 + 1
      ${Loop}
      StrCpy $0 $0 $2
    ${EndIf}
    ${GetParent} $0 $0
    ${If} $0 != ""
    ${AndIf} ${FileExists} "$0\*.*"
      Push $0
      Return
    ${EndIf}
  ${EndIf}
  Push "$PROGRAMFILES32\Winamp"
FunctionEnd

Function .onInit
  !if ${ARCH} == amd64
    SetRegView 64
  !endif
  ${If} $INSTDIR == ""
    Call FindPlayerFolder
    Pop $INSTDIR
  ${EndIf}
  Push "$INSTDIR\Plugins"
  Call CheckPreconditions
FunctionEnd

; The directory page: a folder without the player's program is most likely a mistake.
Function CheckChosenFolder
  ${IfNot} ${FileExists} "$INSTDIR\winamp.exe"
  ${AndIf} ${Cmd} `MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "There is no winamp.exe in$\r$\n\
    $INSTDIR.$\r$\n$\r$\nInstall the plug-in there anyway?" IDNO`
    Abort
  ${EndIf}
FunctionEnd

Section "Marqel" SecMarqel
  ; The player may have been started while the pages were shown, or the folder changed.
  Push "$INSTDIR\Plugins"
  Call WaitForPlayerClosed
  Pop $0
  ${If} $0 == 0
    SetErrorLevel ${EXIT_REFUSED}
    Abort "The player is running; nothing was installed."
  ${EndIf}

  SetOutPath "$INSTDIR\Plugins"
  ClearErrors
  File "/oname=Marqel.dll" "${MARQEL_DLL}"
  File "/oname=gen_marqel_wrap.dll" "${WRAPPER_DLL}"
  ${If} ${Errors}
    SetErrorLevel ${EXIT_REFUSED}
    Abort "Could not write to $INSTDIR\Plugins."
  ${EndIf}

  Call Regsvr32Path
  Pop $1
  DetailPrint "Registering Marqel.dll with $1"
  ClearErrors
  ExecWait '"$1" /s "$INSTDIR\Plugins\Marqel.dll"' $0
  ${If} ${Errors}
  ${OrIf} $0 != 0
    ; A wrapper whose component is not registered would greet every start of the player with a
    ; warning: take both files away again.
    Delete "$INSTDIR\Plugins\gen_marqel_wrap.dll"
    Delete "$INSTDIR\Plugins\Marqel.dll"
    MessageBox MB_OK|MB_ICONSTOP "Marqel.dll could not be registered (regsvr32 status $0). \
      Nothing was installed." /SD IDOK
    SetErrorLevel ${EXIT_REFUSED}
    Abort "Registration failed; nothing was installed."
  ${EndIf}
  ; The wrapper's type library, for tools that look up the wrapper's interfaces; the plug-in works
  ; without it.
  DetailPrint "Registering gen_marqel_wrap.dll with $1"
  ExecWait '"$1" /s "$INSTDIR\Plugins\gen_marqel_wrap.dll"' $0
  ${If} $0 != 0
    DetailPrint "regsvr32 said $0; the wrapper's type library is not registered."
  ${EndIf}

  WriteUninstaller "$INSTDIR\Plugins\${UNINSTALLER}"
  SectionGetSize ${SecMarqel} $0
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} LCD plug-in for Winamp"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Plugins\${UNINSTALLER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Plugins\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Plugins\${UNINSTALLER}" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR\Plugins"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0  ; in KB
SectionEnd

; --- uninstaller ----------------------------------------------------------------------------------
; It lives in the Plugins folder, so $INSTDIR is that folder here.

Function un.onInit
  !if ${ARCH} == amd64
    SetRegView 64
  !endif
  Push $INSTDIR
  Call un.CheckPreconditions
FunctionEnd

Section "Uninstall"
  Push $INSTDIR
  Call un.WaitForPlayerClosed
  Pop $0
  ${If} $0 == 0
    SetErrorLevel ${EXIT_REFUSED}
    Abort "The player is running; nothing was removed."
  ${EndIf}

  ; The wrapper first: once it is gone the player no longer asks for the component. Should it
  ; stay (in use after all), nothing else is touched but its type library's registration.
  Call un.Regsvr32Path
  Pop $1
  ${If} ${FileExists} "$INSTDIR\gen_marqel_wrap.dll"
    DetailPrint "Unregistering gen_marqel_wrap.dll with $1"
    ExecWait '"$1" /u /s "$INSTDIR\gen_marqel_wrap.dll"' $0
  ${EndIf}
  ClearErrors
  Delete "$INSTDIR\gen_marqel_wrap.dll"
  ${If} ${Errors}
    SetErrorLevel ${EXIT_REFUSED}
    Abort "Could not remove gen_marqel_wrap.dll; nothing was removed."
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\Marqel.dll"
    DetailPrint "Unregistering Marqel.dll with $1"
    ExecWait '"$1" /u /s "$INSTDIR\Marqel.dll"' $0
    ${If} $0 != 0
      DetailPrint "regsvr32 /u said $0; removing the file all the same."
    ${EndIf}
    ClearErrors
    Delete "$INSTDIR\Marqel.dll"
    ${If} ${Errors}
      SetErrorLevel ${EXIT_REFUSED}
      Abort "Could not remove Marqel.dll."
    ${EndIf}
  ${EndIf}

  ${If} ${FileExists} "$INSTDIR\${SETTINGS}"
    ${un.GetParameters} $0
    ClearErrors
    ${un.GetOptions} $0 "/REMOVESETTINGS" $1
    ${IfNot} ${Errors}
      Delete "$INSTDIR\${SETTINGS}"
    ${ElseIf} ${Cmd} `MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "Also remove the \
      plug-in's settings (the serial port and the contrast, in ${SETTINGS})?" /SD IDNO IDYES`
      Delete "$INSTDIR\${SETTINGS}"
    ${EndIf}
  ${EndIf}

  Delete "$INSTDIR\${UNINSTALLER}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; The Plugins folder belongs to the player: it stays.
SectionEnd
