; The game's installer for 64-bit Windows (NSIS 3, Modern UI, in Japanese). tools/windows/package
; makes it from the staged folder: it writes GENERATED/defines.nsh (the version, the folder, the
; output) and the two file lists, what to install and what the uninstaller removes, so that the
; uninstaller removes exactly what was installed.
;
; Choices, and why:
; - A per-user install (RequestExecutionLevel user, $LOCALAPPDATA\Programs\momiru-battle, the
;   associations in HKCU\Software\Classes, the uninstaller in HKCU): a game needs nothing of the
;   machine's, so a player without an administrator's password can install it, and Windows asks
;   no question on the way. The folder is the player's own, so settei.sei is kept beside the
;   program there, as in a portable copy.
; - A 64-bit installer (amd64-unicode): the game is 64-bit only, and a 64-bit installer sees the
;   registry and the folders as the game does, with no 32-bit redirection.
; - Unicode, so that a folder with Japanese in its name installs and uninstalls like any other.
; - Solid LZMA, the smallest download.
; - The uninstaller removes the files it installed one by one and each folder only when it is
;   empty (RMDir without /r), so the player's settei.sei, folders.json, replays and tournaments
;   stay, beside the program and in %APPDATA%\momiru-battle. The associations are removed only
;   while they still open this copy of the game, so that uninstalling never breaks another
;   program that has taken the file types since.

Unicode true
Target amd64-unicode

!include "${GENERATED}/defines.nsh"
!include MUI2.nsh
!include LogicLib.nsh

!define APP_NAME "モミルバトル"
!define PUBLISHER "モミルバトル開発チーム"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\momiru-battle"
!define CLASSES "Software\Classes"
!define REPLAY_TYPE "momiru-battle.replay"
!define TOURNAMENT_TYPE "momiru-battle.tournament"
!define OPEN_COMMAND '"$INSTDIR\momiru-battle.exe" "%1"'
; Explorer reads the file types again after this (SHCNE_ASSOCCHANGED, SHCNF_IDLIST).
!define NOTIFY_ASSOCIATIONS "shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)"

Name "${APP_NAME}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\momiru-battle"
; An update goes where the game already is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel user
SetCompressor /SOLID lzma
ManifestDPIAware true
; The line under each page names the game, not the tool that made the installer.
BrandingText "${APP_NAME} ${VERSION}"
ShowInstDetails hide
ShowUninstDetails hide

VIProductVersion "${VERSION_DOTTED}"
VIFileVersion "${VERSION_DOTTED}"
VIAddVersionKey /LANG=1041 "ProductName" "${APP_NAME}"
VIAddVersionKey /LANG=1041 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "FileDescription" "${APP_NAME} ${VERSION} のセットアップ"
VIAddVersionKey /LANG=1041 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1041 "LegalCopyright" "© 2026 ${PUBLISHER}"

!define MUI_ICON "${STAGE}/icons/momiru-battle.ico"
!define MUI_UNICON "${STAGE}/icons/momiru-battle.ico"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\momiru-battle.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\${README}"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

; A file type that opens in the game, with its own icon. The type is also listed among the
; extension's OpenWithProgids, so that it stays offered under 「プログラムから開く」 when the
; player has chosen another program for it.
!macro Associate EXTENSION TYPE DESCRIPTION ICON
  WriteRegStr HKCU "${CLASSES}\${EXTENSION}" "" "${TYPE}"
  WriteRegStr HKCU "${CLASSES}\${EXTENSION}\OpenWithProgids" "${TYPE}" ""
  WriteRegStr HKCU "${CLASSES}\${TYPE}" "" "${DESCRIPTION}"
  WriteRegStr HKCU "${CLASSES}\${TYPE}\DefaultIcon" "" "$INSTDIR\icons\${ICON}"
  WriteRegStr HKCU "${CLASSES}\${TYPE}\shell\open\command" "" '${OPEN_COMMAND}'
!macroend

Section "!${APP_NAME}" SectionGame
  SectionIn RO
  SetShellVarContext current
  !include "${FILES_NSH}"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\${APP_NAME}.lnk" "$INSTDIR\momiru-battle.exe" "" \
    "$INSTDIR\icons\momiru-battle.ico" 0

  !insertmacro Associate ".momiru-replay" "${REPLAY_TYPE}" "${APP_NAME}のリプレイ" \
    "momiru-replay.ico"
  !insertmacro Associate ".momiru-tournament" "${TOURNAMENT_TYPE}" "${APP_NAME}の大会" \
    "momiru-tournament.ico"

  ; 「インストールされているアプリ」 (Add or remove programs), for this user.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${APP_NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\icons\momiru-battle.ico"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ; In KiB, as Windows reads it.
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${INSTALLED_KIB}

  System::Call "${NOTIFY_ASSOCIATIONS}"
SectionEnd

Section "デスクトップにショートカットを作る" SectionDesktop
  SetShellVarContext current
  CreateShortCut "$DESKTOP\${APP_NAME}.lnk" "$INSTDIR\momiru-battle.exe" "" \
    "$INSTDIR\icons\momiru-battle.ico" 0
SectionEnd

; Deletes the key when it holds neither a subkey nor a value (DeleteRegKey /ifempty looks at
; subkeys only, and would take another program's values with it).
!macro DeleteKeyIfEmpty KEY
  Push $0
  EnumRegKey $0 HKCU "${KEY}" 0
  ${If} $0 == ""
    ClearErrors
    EnumRegValue $0 HKCU "${KEY}" 0
    ${If} ${Errors}
      DeleteRegKey HKCU "${KEY}"
    ${EndIf}
  ${EndIf}
  Pop $0
!macroend

; Undoes Associate while the type still opens this copy of the game.
!macro Unassociate EXTENSION TYPE
  ReadRegStr $0 HKCU "${CLASSES}\${TYPE}\shell\open\command" ""
  ${If} $0 == '${OPEN_COMMAND}'
    DeleteRegKey HKCU "${CLASSES}\${TYPE}"
    DeleteRegValue HKCU "${CLASSES}\${EXTENSION}\OpenWithProgids" "${TYPE}"
    !insertmacro DeleteKeyIfEmpty "${CLASSES}\${EXTENSION}\OpenWithProgids"
    ReadRegStr $0 HKCU "${CLASSES}\${EXTENSION}" ""
    ${If} $0 == "${TYPE}"
      DeleteRegValue HKCU "${CLASSES}\${EXTENSION}" ""
    ${EndIf}
    !insertmacro DeleteKeyIfEmpty "${CLASSES}\${EXTENSION}"
  ${EndIf}
!macroend

Section "Uninstall"
  SetShellVarContext current
  ; Each file installed, then each folder when it is empty, the deepest first.
  !include "${UNFILES_NSH}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${APP_NAME}.lnk"
  Delete "$DESKTOP\${APP_NAME}.lnk"

  !insertmacro Unassociate ".momiru-replay" "${REPLAY_TYPE}"
  !insertmacro Unassociate ".momiru-tournament" "${TOURNAMENT_TYPE}"

  ; The entry in 「インストールされているアプリ」, unless another copy has taken it since.
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${EndIf}

  System::Call "${NOTIFY_ASSOCIATIONS}"
SectionEnd
