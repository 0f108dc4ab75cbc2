#!/usr/bin/env bash
# Compiles the Win32 views and the dialog resources with the MinGW cross
# compiler, without linking: what can be checked without a Windows build.
set -eu -o pipefail
cd "$(dirname "$0")/../.."
cxx=${CXX_MINGW:-x86_64-w64-mingw32-g++-posix}
windres=${WINDRES_MINGW:-x86_64-w64-mingw32-windres}
generated=$(mktemp -d)
trap 'rm -rf "$generated"' EXIT
cmake -DOUT="$generated" -P cmake/version_header.cmake
for source in ui/win32/*.cpp; do
  "$cxx" -std=c++20 -fsyntax-only -Wall -Wextra -Werror -DUNICODE -D_UNICODE \
    -Iui/include -Iengine/include -Isettings/include -Iport/include -I"$generated" -Iplatform/win32/include -Iui/win32 \
    "$source"
done
out=$(mktemp)
"$windres" -I resources/dialogs -I "$generated" resources/dialogs/dialogs.rc -O coff -o "$out"
rm -f "$out"
echo "win32 views and dialog resources: compiled"
