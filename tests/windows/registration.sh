#!/usr/bin/env bash
# regsvr32 and reg on the built module: rows 1 to 10 with their exact data,
# the same after a second registration, gone after unregistration while the
# type library stays. WINE and WINE_ARCH come from run.sh.
#   registration.sh PATH_TO_QUILLMARK.dll
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

"$WINE" regsvr32 /s "$winpath"
check "regsvr32 status" 0 $?
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

# Registered again for whoever runs next, as a user would leave it.
"$WINE" regsvr32 /s "$winpath"
[ $fail = 0 ] && echo "registration ($WINE_ARCH): rows 1 to 10 exact, twice the same, removed by /u, type library kept"
exit $fail
