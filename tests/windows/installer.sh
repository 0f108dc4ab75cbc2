#!/usr/bin/env bash
# The installer, build-windows/QuillmarkSetup.exe.
#   installer.sh static SETUP DLL   lists and extracts it with 7-Zip: the i686
#                                   module inside, byte for byte, and the uninstaller
#   installer.sh run SETUP          (WINE, WINE_ARCH, WINEPREFIX from run.sh) a silent
#                                   install and uninstall under 32-bit Wine
set -u -o pipefail
here=$(cd "$(dirname "$0")" && pwd)
fail=0
check() { # what expected actual
  if [ "$2" != "$3" ]; then
    echo "installer: $1: expected '$2', got '$3'"
    fail=1
  fi
}

static_check() {
  local setup=$1 dll=$2 scratch listing
  scratch=$(mktemp -d)
  listing=$(7z l "$setup" 2>&1)
  grep -q 'QUILLMARK.dll' <<<"$listing" || { echo "installer: QUILLMARK.dll not listed"; fail=1; }
  grep -q 'Uninstall.exe' <<<"$listing" || { echo "installer: no uninstaller listed"; fail=1; }
  7z x -y -o"$scratch" "$setup" >/dev/null 2>&1
  local inside
  inside=$(find "$scratch" -name QUILLMARK.dll | head -1)
  if [ -z "$inside" ] || ! cmp -s "$inside" "$dll"; then
    echo "installer: the module inside is not the i686 build byte for byte"
    fail=1
  fi
  rm -rf "$scratch"
  [ $fail = 0 ] && echo "installer: static check passed (the i686 module byte for byte, the uninstaller)"
}

# Waits up to 60 s for the uninstaller, which runs from a copy of itself.
wait_gone() {
  local path=$1 i
  for i in $(seq 1 120); do
    [ -e "$path" ] || return 0
    sleep 0.5
  done
  return 1
}

run_check() {
  local setup=$1
  local folder="$WINEPREFIX/drive_c/Program Files (x86)/Quillmark"
  local key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmark'
  "$WINE" "$setup" /S
  check "silent install status" 0 $?
  [ -f "$folder/QUILLMARK.dll" ] || { echo "installer: no QUILLMARK.dll in $folder"; fail=1; }
  [ -f "$folder/Uninstall.exe" ] || { echo "installer: no uninstaller in $folder"; fail=1; }
  WINE=$WINE WINE_ARCH=i686 bash "$here/registration.sh" "$folder/QUILLMARK.dll" --rows-only || fail=1
  local uninstall
  uninstall=$("$WINE" reg query "$key" /v UninstallString /reg:32 2>/dev/null | tr -d '\r' |
    sed -n 's/.*REG_SZ *//p')
  check "uninstall entry" '"C:\Program Files (x86)\Quillmark\Uninstall.exe"' "$uninstall"

  # The user's settings file, which the uninstaller keeps.
  printf '[Extra]\r\nKey=1\r\n' >"$folder/Comment_user.ini"
  "$WINE" "$folder/Uninstall.exe" /S
  wait_gone "$folder/QUILLMARK.dll" || { echo "installer: the uninstaller left QUILLMARK.dll"; fail=1; }
  wait_gone "$folder/Uninstall.exe" || { echo "installer: the uninstaller left itself"; fail=1; }
  check "settings file kept" "$(printf '[Extra]\r\nKey=1\r\n')" "$(cat "$folder/Comment_user.ini" 2>/dev/null)"
  check "uninstall entry after uninstalling" 0 \
    "$("$WINE" reg query "$key" /reg:32 2>/dev/null | tr -d '\r' | grep -c REG_)"
  local rows
  rows=$("$WINE" reg query 'HKCR\Quillmark.DSAddIn.1' /reg:32 2>/dev/null | tr -d '\r' | grep -c REG_)
  check "rows after uninstalling" 0 "${rows:-0}"
  [ $fail = 0 ] && echo "installer: silent install gives rows 1 to 10, the files and the uninstall entry; silent uninstall removes them and keeps the settings file"
}

case "${1:-}" in
  static) static_check "$2" "$3" ;;
  run) run_check "$2" ;;
  *) echo "usage: installer.sh static SETUP DLL | run SETUP" >&2; exit 2 ;;
esac
exit $fail
