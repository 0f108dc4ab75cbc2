#!/usr/bin/env bash
# Builds and runs the dialog tests: the presenters, and the Qt dialogs on the
# offscreen platform (they write build-ui/tests/ui/qt/*.png); with the MinGW
# compiler, Wine and Xvfb, also the Win32 dialogs (build-ui/wine/*.png).
#   scripts/test-ui.sh [BUILD_DIR]
set -eu -o pipefail
cd "$(dirname "$0")/.."
build=${1:-build-ui}
# An existing build directory (the test script's) is used as it is configured.
[ -f "$build/CMakeCache.txt" ] ||
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLMARK_BUILD_TESTS=ON \
    -DQUILLMARK_BUILD_BENCH=OFF -DQUILLMARK_SYNTAX=OFF -DQUILLMARK_WERROR=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target quillmark_ui_tests
if cmake --build "$build" -j "$(nproc)" --target quillmark_dialogs_qt_tests quillmark-dialogs \
    2>/dev/null; then
  ctest --test-dir "$build" --output-on-failure -R '^ui[._]'
else
  echo "Qt 6 not found: only the presenter tests run"
  ctest --test-dir "$build" --output-on-failure -R '^ui\.'
fi
if command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  bash ui/win32/check-syntax.sh
  bash tests/ui/win32/wine-test.sh "$build/wine"
else
  echo "x86_64-w64-mingw32-g++-posix not installed: Win32 views not checked"
fi
