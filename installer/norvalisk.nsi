; Per-user installer of Norvalisk (makensis, UTF-8 source; built by make_installer.sh).
;
; Norvalisk writes its settings file (Norvalisk.env) and receives the printer's page
; files in its own folder, so it is installed into a folder of the user's
; (%LOCALAPPDATA%\Programs\Norvalisk) without administrator rights, registered under
; HKCU, and removed by an uninstaller that keeps the user's settings unless asked.
;
; Defines from the command line:
;   VERSION       the project version, e.g. 1.0 (Uninstall entry, texts)
;   VERSION_QUAD  the same in four parts, e.g. 1.0.0.0 (version resource of setup.exe)
;   STAGE         folder holding the Norvalisk.exe and navo.dll to install
;   ICON          the program's icon file
;   OUTFILE       the installer to write

Target amd64-unicode
Unicode true
ManifestSupportedOS all
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma
; Files carry no build time, so two builds of one commit hold identical files.
SetDateSave off

!ifndef VERSION | VERSION_QUAD | STAGE | ICON | OUTFILE
  !error "VERSION, VERSION_QUAD, STAGE, ICON and OUTFILE must be defined"
!endif

!include MUI2.nsh
!include LogicLib.nsh

!define PRODUCT "Norvalisk"
!define PUBLISHER "Norvalisk"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Norvalisk"
!define UNINSTALLER "Uninstall.exe"
; The running program is recognised by its main window class, or, while it is still
; starting, by the mutex it holds for its whole run.
!define MAIN_WINDOW_CLASS "NORVALISK"
!define INSTANCE_MUTEX "Local\Norvalisk.Instance"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Norvalisk"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=1041 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1041 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "FileVersion" "${VERSION_QUAD}"
VIAddVersionKey /LANG=1041 "FileDescription" "${PRODUCT} ${VERSION} セットアップ"
VIAddVersionKey /LANG=1041 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1041 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${NSISDIR}\Contrib\Graphics\Icons\modern-uninstall.ico"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!define MUI_WELCOMEPAGE_TEXT "このウィザードは、${PRODUCT} ${VERSION} をこのユーザー用にインストールします。管理者の権限は要りません。$\r$\n$\r$\n${PRODUCT} が起動している場合は、先に終了してください。以前のバージョンに上書きするときも、ID とパスワードの設定 (Norvalisk.env) はそのまま残ります。$\r$\n$\r$\n[次へ] をクリックして続けてください。"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckNotRunningBeforeInstall
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Norvalisk.exe"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Japanese"

; Both functions below use $0 and $1 freely; the caller finds the answer in $0.
!macro RunningCheckFunctions un
; $0 = 1 when Norvalisk runs, 0 otherwise.
Function ${un}IsNorvaliskRunning
  FindWindow $0 "${MAIN_WINDOW_CLASS}"
  ${If} $0 <> 0
    StrCpy $0 1
    Return
  ${EndIf}
  ; SYNCHRONIZE access is enough to learn that the mutex exists.
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${INSTANCE_MUTEX}") p .r1'
  ${If} $1 P<> 0
    System::Call 'kernel32::CloseHandle(p r1)'
    StrCpy $0 1
    Return
  ${EndIf}
  StrCpy $0 0
FunctionEnd

; Asks the user to close a running Norvalisk until it is closed.
; $0 = 1 when it is not running (any more), 0 when the user gives up; a silent run
; gives up at once.
Function ${un}WaitUntilNorvaliskClosed
  check:
  Call ${un}IsNorvaliskRunning
  ${If} $0 = 0
    StrCpy $0 1
    Return
  ${EndIf}
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
    "${PRODUCT} が起動しています。$\r$\n${PRODUCT} を終了してから [再試行] をクリックしてください。" \
    /SD IDCANCEL IDRETRY check
  StrCpy $0 0
FunctionEnd
!macroend
!insertmacro RunningCheckFunctions ""
!insertmacro RunningCheckFunctions "un."

Function CheckNotRunningBeforeInstall
  Call WaitUntilNorvaliskClosed
  ${If} $0 = 0
    Abort  ; stays on the page
  ${EndIf}
FunctionEnd

Section "${PRODUCT} (必須)" SecProgram
  SectionIn RO
  ; The program may have been started while the pages were shown, and a silent
  ; run shows none: look again right before its files are replaced.
  Call WaitUntilNorvaliskClosed
  ${If} $0 = 0
    DetailPrint "${PRODUCT} が起動しているため、インストールを中止しました。"
    SetErrorLevel 3
    Quit
  ${EndIf}

  SetOutPath "$INSTDIR"
  ; Norvalisk.env and the page files are the program's own: never written here.
  File "${STAGE}\Norvalisk.exe"
  File "${STAGE}\navo.dll"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Norvalisk.exe" "" \
    "$INSTDIR\Norvalisk.exe" 0 SW_SHOWNORMAL "" "名刺データ入稿ツール"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Norvalisk.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ; In KiB: the program's files as packed into this installer.
  SectionGetSize ${SecProgram} $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "デスクトップにショートカットを作る" SecDesktop
  CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\Norvalisk.exe" "" \
    "$INSTDIR\Norvalisk.exe" 0 SW_SHOWNORMAL "" "名刺データ入稿ツール"
SectionEnd

; A reinstall without the desktop shortcut takes away the one an earlier install made.
Function .onInstSuccess
  ${IfNot} ${SectionIsSelected} ${SecDesktop}
    Delete "$DESKTOP\${PRODUCT}.lnk"
  ${EndIf}
FunctionEnd

Function un.onInit
  Call un.WaitUntilNorvaliskClosed
  ${If} $0 = 0
    SetErrorLevel 3
    Quit
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ; Only what the installer put here, and the files the program leaves: its page
  ; files and the PNG files of an interrupted upload.
  Delete "$INSTDIR\Norvalisk.exe"
  Delete "$INSTDIR\navo.dll"
  Delete "$INSTDIR\page_1.bmp"
  Delete "$INSTDIR\page_2.bmp"
  Delete "$INSTDIR\page_3.bmp"
  Delete "$INSTDIR\page_4.bmp"
  Delete "$INSTDIR\page_5.bmp"
  Delete "$INSTDIR\front.png"
  Delete "$INSTDIR\back.png"
  ${If} ${FileExists} "$INSTDIR\Norvalisk.env"
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
      "保存した ID とパスワードの設定ファイル (Norvalisk.env) も削除しますか？$\r$\n[いいえ] を選ぶと、設定ファイルは残ります。" \
      /SD IDNO IDNO keep_settings
    Delete "$INSTDIR\Norvalisk.env"
  ${EndIf}
  keep_settings:
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Removed only when nothing else is left in it.
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$DESKTOP\${PRODUCT}.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
