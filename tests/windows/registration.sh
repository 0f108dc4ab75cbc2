#!/usr/bin/env bash
# regsvr32 and reg on the built module: rows 1 to 10 with their exact data,
# the same after a second registration, gone after unregistration while the
# type library stays. WINE and WINE_ARCH come from run.sh.
#   registration.sh PATH_TO_QUILLMARK.dll [--rows-only]
set -u -o pipefail
dll=$1
view=/reg:64
tlbkind=win64
[ "$WINE_ARCH" = i686 ] && view=/reg:32 && tlbkind=win32
clsid='{5D524B60-A75B-4AE2-B620-91CAB9578A5C}'
libid='{4173923B-96E6-40F3-B3E6-CCD4B6284E01}'
winpath=$("$WINE" winepath -w "$dll" | tr -d '\r')
fail=0
check() { # what expected actual
  if [ "$2" != "$3" ]; then
    echo "registration ($WINE_ARCH): $1: expected '$2', got '$3'"
    fail=1
  fi
}

# Exports the keys as text: reg export writes UTF-16, so Chinese key names
# and data come out exactly (reg query prints them in the console code page).
rows() {
  local key file=$(mktemp --suffix=.reg)
  for key in 'HKCR\Quillmark.DSAddIn.1' 'HKCR\QUILLMARK VC Add-in(墨翎)' "HKCR\\CLSID\\$clsid"; do
    rm -f "$file"
    if "$WINE" reg export "$key" "$("$WINE" winepath -w "$file" | tr -d '\r')" $view /y \
      >/dev/null 2>&1; then
      iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r' | grep -v '^Windows Registry Editor' | grep -v '^$'
    fi
  done
  rm -f "$file"
}

escaped=${winpath//\\/\\\\}
expected=$(cat <<ROWS
[HKEY_CLASSES_ROOT\\Quillmark.DSAddIn.1]
@="Quillmark VC Add-in(墨翎)"
[HKEY_CLASSES_ROOT\\Quillmark.DSAddIn.1\\CLSID]
@="$clsid"
[HKEY_CLASSES_ROOT\\QUILLMARK VC Add-in(墨翎)]
@="Quillmark VC Add-in(墨翎)"
[HKEY_CLASSES_ROOT\\QUILLMARK VC Add-in(墨翎)\\CLSID]
@="$clsid"
[HKEY_CLASSES_ROOT\\CLSID\\$clsid]
@="Quillmark VC Add-in(墨翎)"
[HKEY_CLASSES_ROOT\\CLSID\\$clsid\\Description]
@="墨翎"
[HKEY_CLASSES_ROOT\\CLSID\\$clsid\\InprocServer32]
@="$escaped"
"ThreadingModel"="both"
[HKEY_CLASSES_ROOT\\CLSID\\$clsid\\ProgID]
@="Quillmark.DSAddIn.1"
[HKEY_CLASSES_ROOT\\CLSID\\$clsid\\VersionIndependentProgID]
@="QUILLMARK VC Add-in(墨翎)"
ROWS
)

# With --rows-only: just compare rows 1 to 10 for that path (the installer's check).
if [ "${2:-}" = --rows-only ]; then
  check "rows 1 to 10 for $winpath" "$expected" "$(rows)"
  exit $fail
fi

# The IDE's two event interfaces belong to the IDE's own type libraries: our
# registration must leave their keys exactly as it found them.
ide_interfaces=('{8EA3F900-4A9F-11CF-8E4E-00AA004254C4}' '{34C6301A-AE64-11CF-AB59-00AA00C091A1}')
ide_keys() {
  local iid file=$(mktemp --suffix=.reg)
  for iid in "${ide_interfaces[@]}"; do
    rm -f "$file"
    "$WINE" reg export "HKCR\\Interface\\$iid" "$("$WINE" winepath -w "$file" | tr -d '\r')" \
      $view /y >/dev/null 2>&1 && iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r' | grep -v '^$'
  done
  rm -f "$file"
}
for iid in "${ide_interfaces[@]}"; do
  "$WINE" reg add "HKCR\\Interface\\$iid" /ve /d "the IDE's interface" /f $view >/dev/null 2>&1
  "$WINE" reg add "HKCR\\Interface\\$iid\\TypeLib" /ve /d '{B3CF8E20-19B6-11CF-8E4D-00AA004254C4}' \
    /f $view >/dev/null 2>&1
done
ide_before=$(ide_keys)
[ -n "$ide_before" ] || { echo "registration ($WINE_ARCH): could not seed the IDE's interface keys"; fail=1; }

"$WINE" regsvr32 /s "$winpath"
check "regsvr32 status" 0 $?
check "the IDE's interface keys after registering" "$ide_before" "$(ide_keys)"
check "rows 1 to 10" "$expected" "$(rows)"
"$WINE" regsvr32 /s "$winpath"
check "second regsvr32 status" 0 $?
check "rows after registering twice" "$expected" "$(rows)"
tlb=$("$WINE" reg query "HKCR\\TypeLib\\$libid\\1.0\\409\\$tlbkind" /ve $view 2>/dev/null |
  tr -d '\r' | sed -n 's/.*REG_SZ *//p')
check "type library path" "$winpath" "$tlb"

"$WINE" regsvr32 /u /s "$winpath"
check "regsvr32 /u status" 0 $?
check "rows after unregistering" "" "$(rows)"
tlb=$("$WINE" reg query "HKCR\\TypeLib\\$libid\\1.0\\409\\$tlbkind" /ve $view 2>/dev/null |
  tr -d '\r' | sed -n 's/.*REG_SZ *//p')
check "type library after unregistering" "$winpath" "$tlb"
check "the IDE's interface keys after unregistering" "$ide_before" "$(ide_keys)"

# Registered again for whoever runs next, as a user would leave it.
"$WINE" regsvr32 /s "$winpath"
[ $fail = 0 ] && echo "registration ($WINE_ARCH): rows 1 to 10 exact, twice the same, removed by /u, type library kept, the IDE's interfaces untouched"
exit $fail
