#!/usr/bin/env bash
# Runs the Windows module's tests under Wine, headless, for each architecture
# that can run here: registration through regsvr32 and reg, the stand-in IDE
# (tests/windows/addin_test.cpp) and code page 936's user-defined area.
#   run.sh BUILD_WINDOWS_DIR
set -u -o pipefail
out=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=

failed=0 ran=() skipped=()
report() { echo "windows: $*"; }

# Some machines of this kind cannot execute 32-bit programs at all;
# QUILLMARK_NO_32BIT=1 takes that road on any machine.
can_run_32bit() {
  [ "${QUILLMARK_NO_32BIT:-0}" != 1 ] && [ -e /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1 &&
    [ -x /usr/lib/wine/wine ] && dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'ok installed'
}

# The i686 module is always checked without running it: machine type,
# exactly the four exports, only system DLLs imported, the type library.
static_check() {
  local arch=$1 dll=$out/$1/QUILLMARK.dll machine
  machine=$(objdump -f "$dll" | sed -n 's/.*file format //p')
  local want=pei-i386
  [ "$arch" = x86_64 ] && want=pei-x86-64
  local exports imports problems=() dump
  dump=$(objdump -p "$dll")
  exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | sed -n 's/^\t\[ *[0-9]*\] //p' | tr '\n' ' ')
  imports=$(sed -n 's/.*DLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
  [ "$machine" = "$want" ] || problems+=("machine $machine, expected $want")
  [ "$exports" = "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer " ] ||
    problems+=("exports: $exports")
  grep -Eq '^Name[[:space:]]+[0-9a-f]+ QUILLMARK\.dll$' <<<"$dump" ||
    problems+=("export table does not name QUILLMARK.dll")
  grep -Eq '^Ordinal Base[[:space:]]+1$' <<<"$dump" || problems+=("ordinals do not start at 1")
  for dll_name in $imports; do
    case $dll_name in
      # The system's own DLLs; the dialogs add the common controls, the file
      # dialogs, the shell (the about box's link) and GDI.
      kernel32.dll|user32.dll|advapi32.dll|ole32.dll|oleaut32.dll|msvcrt.dll) ;;
      comctl32.dll|comdlg32.dll|shell32.dll|gdi32.dll) ;;
      *) problems+=("imports $dll_name") ;;
    esac
  done
  [ -s "$out/$arch/QUILLMARK.tlb" ] || problems+=("no type library")
  grep -q -a "QUILLMARK Developer Studio Add-in" "$dll" || problems+=("no embedded type library")
  if [ ${#problems[@]} = 0 ]; then
    report "$arch static check passed (machine $machine; exports $exports; imports $imports)"
  else
    report "$arch static check FAILED: ${problems[*]}"
    failed=1
  fi
}

# The IDE runs on Windows XP: every function the i686 module imports (the C
# runtime's aside, msvcrt.dll being XP's own) must be one that mingw-w64's
# headers declare when told the target is XP, or the module would not load.
xp_check() {
  local dll=$out/i686/QUILLMARK.dll names source log missing
  names=$(objdump -p "$dll" | awk '
    /DLL Name:/ { dll = tolower($3); next }
    /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_][A-Za-z0-9_]*$/ { if (dll != "msvcrt.dll") print $3 }' | sort -u)
  if [ -z "$names" ]; then
    report "i686 XP import check FAILED: no imports read from $dll"
    failed=1
    return
  fi
  source=$(mktemp --suffix=.cpp) log=$(mktemp)
  {
    printf '#include <%s>\n' windows.h commctrl.h commdlg.h shellapi.h ole2.h oleauto.h olectl.h
    echo 'void Imports() {'
    for name in $names; do echo "  (void)&$name;"; done
    echo '}'
  } >"$source"
  LC_ALL=C i686-w64-mingw32-g++-posix -D_WIN32_WINNT=0x0501 -DWINVER=0x0501 -fsyntax-only "$source" \
    >"$log" 2>&1
  missing=$(sed -n "s/.*'\([A-Za-z_0-9]*\)' was not declared.*/\1/p" "$log" | sort -u | tr '\n' ' ')
  if [ -n "$missing" ]; then
    report "i686 XP import check FAILED: newer than Windows XP: $missing"
    failed=1
  elif grep -q 'error' "$log"; then
    cat "$log"
    report "i686 XP import check FAILED: the check itself did not compile"
    failed=1
  else
    report "i686 XP import check passed ($(wc -w <<<"$names") functions, all declared for XP)"
  fi
  rm -f "$source" "$log"
}

# Runs one gtest program; its whole output only when it fails.
run_test() { # what wine program
  local what=$1 log
  log=$(mktemp)
  if "$2" "$3" --gtest_brief=1 >"$log" 2>&1; then
    report "$what: $(tr -d '\r' <"$log" | grep -E '^\[==========\].*ran' | tail -1), all passed"
  else
    tr -d '\r' <"$log" | grep -v '^[[:space:]]*0000'
    report "$what tests FAILED"
    failed=1
  fi
  rm -f "$log"
}

run_arch() {
  local arch=$1 wine=$2 server=$3
  local dir=$out/$arch
  export WINEPREFIX=$dir/wineprefix
  rm -rf "$WINEPREFIX"
  local start=$SECONDS
  "$wine" wineboot -i >/dev/null 2>&1
  # The null graphics driver: message boxes exist and block as on Windows,
  # with no display at all. The desktop started by wineboot has no driver, so
  # the prefix's server is stopped before the tests run.
  "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  "$server" -k 2>/dev/null
  "$server" -w 2>/dev/null
  # One server for the whole run: each program would otherwise pay Wine's start-up.
  "$server" -p
  report "$arch prefix ready in $((SECONDS - start)) s"
  local winout
  winout=$("$wine" winepath -w "$dir" 2>/dev/null | tr -d '\r')
  local cases
  cases=$("$wine" winepath -w "$root/tests/cli" 2>/dev/null | tr -d '\r')

  WINE=$wine WINE_ARCH=$arch bash "$here/registration.sh" "$dir/QUILLMARK.dll" || failed=1

  local scratch=$dir/scratch
  rm -rf "$scratch" && mkdir -p "$scratch"
  # Both architectures' type libraries, compared in every run: the i686 one
  # is checked here even where 32-bit programs cannot run.
  QM_TLB_I686=$("$wine" winepath -w "$out/i686/QUILLMARK.tlb" | tr -d '\r') \
    QM_TLB_X86_64=$("$wine" winepath -w "$out/x86_64/QUILLMARK.tlb" | tr -d '\r') \
    QM_FAULT_DLL="$winout\\QUILLMARK_FAULTS.dll" \
    QM_DLL="$winout\\QUILLMARK.dll" QM_SCRATCH=$("$wine" winepath -w "$scratch" | tr -d '\r') \
    QM_CASES=$cases run_test "$arch stand-in IDE" "$wine" "$dir/tests/windows/quillmark_addin_test.exe"
  run_test "$arch code page 936 user-defined area" "$wine" \
    "$dir/platform/common/quillmark_cp936_user_area_test.exe"
  # The installer is a 32-bit program: it runs where the i686 module does.
  if [ "$arch" = i686 ]; then
    WINE=$wine bash "$here/installer.sh" run "$out/QuillmarkSetup.exe" || failed=1
  fi

  "$server" -k
  rm -rf "$WINEPREFIX" "$scratch"
  ran+=("$arch")
  report "$arch ran in $((SECONDS - start)) s"
}

static_check i686
static_check x86_64
xp_check
bash "$here/installer.sh" static "$out/QuillmarkSetup.exe" "$out/i686/QUILLMARK.dll" || failed=1

if [ -x /usr/lib/wine/wine64 ]; then
  run_arch x86_64 /usr/lib/wine/wine64 /usr/lib/wine/wineserver64
else
  skipped+=("x86_64: Wine's 64-bit loader /usr/lib/wine/wine64 is missing")
  failed=1
fi
if can_run_32bit; then
  # A fresh prefix is a 64-bit one running 32-bit programs: its server is the 64-bit one.
  run_arch i686 /usr/lib/wine/wine /usr/lib/wine/wineserver64
else
  skipped+=("i686: this machine cannot execute 32-bit programs (or wine32:i386 is missing); built and checked statically only")
fi

report "ran: ${ran[*]:-none}"
for s in "${skipped[@]}"; do report "skipped $s"; done
exit $failed
