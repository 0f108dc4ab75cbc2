; The Windows installer: puts the 32-bit module where the IDE can load it,
; registers it, and writes an uninstaller that takes it away again while
; keeping the user's settings files (Comment_<logon>.ini) next to it.
;   makensis -DDLL=build-windows/i686/QUILLMARK.dll -DVERSION=1.5.0.1 \
;            -DOUTFILE=build-windows/QuillmarkSetup.exe packaging/windows/quillmark.nsi
Unicode true
!ifndef DLL | VERSION | OUTFILE
  !error "define DLL, VERSION and OUTFILE"
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmark"

Name "墨翎 Quillmark"
OutFile "${OUTFILE}"
; Registration writes under the classes root of the machine.
RequestExecutionLevel admin
; Program Files (x86) on 64-bit Windows, Program Files on 32-bit Windows.
InstallDir "$PROGRAMFILES32\Quillmark"
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "墨翎 Quillmark"
VIAddVersionKey /LANG=0 "FileDescription" "Quillmark Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" ""

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Quillmark"
  ; The IDE is a 32-bit program: its registry view is the 32-bit one.
  SetRegView 32
  SetOutPath "$INSTDIR"
  File "/oname=QUILLMARK.dll" "${DLL}"
  ClearErrors
  RegDLL "$INSTDIR\QUILLMARK.dll"
  IfErrors 0 registered
    MessageBox MB_OK|MB_ICONSTOP "QUILLMARK.dll could not be registered. Run the installer as an administrator." /SD IDOK
    Delete "$INSTDIR\QUILLMARK.dll"
    RMDir "$INSTDIR"
    SetErrorLevel 2
    Abort
  registered:
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "墨翎 Quillmark"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetRegView 32
  UnRegDLL "$INSTDIR\QUILLMARK.dll"
  Delete "$INSTDIR\QUILLMARK.dll"
  Delete "$INSTDIR\Uninstall.exe"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; Only when empty: the user's settings files stay, and the folder with them.
  RMDir "$INSTDIR"
SectionEnd
