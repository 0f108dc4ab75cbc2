#!/usr/bin/env bash
# Builds the Win32 dialog test with the MinGW cross compiler and runs it under
# 64-bit Wine on Xvfb; it drives both dialogs and writes
# settings-dialog-win32.png and about-dialog-win32.png into OUT_DIR.
#   tests/ui/win32/wine-test.sh OUT_DIR
# Until the Windows module's build links the dialogs, this builds them itself.
set -eu -o pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
out=$(mkdir -p "$1" && cd "$1" && pwd)
cxx=x86_64-w64-mingw32-g++-posix
windres=x86_64-w64-mingw32-windres
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine || true)
for tool in "$cxx" "$windres" xvfb-run; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool not installed"; exit 0; }
done
[ -n "$wine" ] || { echo "skipped: wine not installed"; exit 0; }

# The version header the configured build generates.
cmake -DOUT="$out/generated" -P "$root/cmake/version_header.cmake"
flags=(-std=c++20 -O0 -Wall -Wextra -Werror -DUNICODE -D_UNICODE
       -I"$root/ui/include" -I"$root/engine/include" -I"$root/engine/src"
       -I"$root/settings/include" -I"$root/port/include" -I"$root/ui/win32"
       -I"$root/platform/win32/include" -I"$out/generated")
mkdir -p "$out/obj"
objects=()
for source in "$root"/engine/src/*.cpp "$root"/engine/src/generators/*.cpp \
              "$root"/settings/src/*.cpp "$root"/ui/src/*.cpp "$root"/ui/win32/*.cpp \
              "$root"/platform/win32/files.cpp "$root"/platform/win32/wide.cpp \
              "$root"/tests/ui/win32/dialogs_wine_test.cpp; do
  object="$out/obj/$(echo "${source#"$root"/}" | tr / _).o"
  if [ ! -e "$object" ] || [ "$source" -nt "$object" ] || \
     [ -n "$(find "$root/ui/include" "$root/ui/win32" "$root/platform/win32/include" \
               "$out/generated" -newer "$object" -name '*.h')" ]; then
    "$cxx" "${flags[@]}" -c "$source" -o "$object"
  fi
  objects+=("$object")
done
"$windres" -I "$root/resources/dialogs" -I "$out/generated" "$root/resources/dialogs/dialogs.rc" -O coff \
  -o "$out/obj/dialogs.res.o"
"$cxx" -static -static-libgcc -static-libstdc++ -o "$out/dialogs_wine_test.exe" \
  "${objects[@]}" "$out/obj/dialogs.res.o" -lcomctl32 -lcomdlg32 -lshell32 -ladvapi32 \
  -lgdi32 -luser32

export WINEPREFIX="$out/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
server=$(dirname "$wine")/wineserver64
[ -x "$server" ] || server=wineserver
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -e
  wine=$1 server=$2 out=$3
  [ -d "$WINEPREFIX" ] || "$wine" wineboot -i >/dev/null 2>&1
  for face in "MS Sans Serif" "MS Shell Dlg" SimSun Tahoma; do
    "$wine" reg add "HKCU\\Software\\Wine\\Fonts\\Replacements" /v "$face" \
      /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
  done
  status=0
  "$wine" "$out/dialogs_wine_test.exe" "Z:$out" || status=$?
  "$server" -k || true
  exit $status
' _ "$wine" "$server" "$out"

# The test writes stored (uncompressed) PNGs; compress them for keeping.
python3 - "$out"/settings-dialog-win32.png "$out"/about-dialog-win32.png <<'PY'
import struct, sys, zlib
for path in sys.argv[1:]:
    data = open(path, 'rb').read()
    chunks, at = [], 8
    while at < len(data):
        (n,) = struct.unpack('>I', data[at:at + 4])
        chunks.append((data[at + 4:at + 8], data[at + 8:at + 8 + n]))
        at += 12 + n
    pixels = zlib.decompress(b''.join(d for t, d in chunks if t == b'IDAT'))
    out = data[:8]
    for kind, body in chunks:
        if kind == b'IDAT':
            if any(t == b'IDAT' for t, _ in chunks[:chunks.index((kind, body))]):
                continue
            body = zlib.compress(pixels, 9)
        out += struct.pack('>I', len(body)) + kind + body
        out += struct.pack('>I', zlib.crc32(kind + body) & 0xffffffff)
    open(path, 'wb').write(out)
PY
