#!/usr/bin/env bash
# Builds and runs the syntax parser's tests and its accuracy measurement.
#   scripts/test-syntax.sh [BUILD_DIR]     (default build-syntax; configured if new)
set -eu -o pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-syntax}
jobs=${JOBS:-$(nproc)}
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
fi
cmake --build "$dir" -j "$jobs" --target quillmark_syntax_tests quillmark_syntax_accuracy
ctest --test-dir "$dir" -R '^(ParseDeclaration|FindDeclarations)\.|^syntax_' --output-on-failure
"$dir"/tests/syntax/quillmark_syntax_accuracy tests/syntax/data/declarations.txt | tail -1
