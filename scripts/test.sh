#!/usr/bin/env bash
# Builds and runs every test: the README's quick start as written (in a scratch
# clone), the ordinary build with warnings as errors, the AddressSanitizer +
# UndefinedBehaviorSanitizer build, and bounded fuzzing.
#   scripts/test.sh [FUZZ_RUNS]     (default 20000 runs per fuzz target)
# QUILLMARK_NO_32BIT=1 takes the road of a machine that cannot run 32-bit
# programs (the Windows step installs and runs no 32-bit Wine).
set -eu -o pipefail
cd "$(dirname "$0")/.."
fuzz_runs=${1:-20000}
jobs=$(nproc)
passed=0
start=$SECONDS
# The last line says which step failed.
step="installing what is missing"
trap 'status=$?; [ $status = 0 ] || echo "tests: FAILED in step: $step (exit $status)"' EXIT
# Starts a step: its heading, and its name for the failure line.
begin() {
  step=$1
  echo "== $1"
}
# Runs ctest and adds its test count to the total.
run_ctest() {
  local log
  log=$(mktemp)
  ctest "$@" --output-on-failure -j "$jobs" | tee "$log"
  passed=$((passed + $(sed -n 's/.*tests failed out of \([0-9]*\)/\1/p' "$log" | tail -1)))
  rm -f "$log"
}

bash scripts/install-deps.sh

begin "the README's quick start, as written, in a scratch clone"
scratch=$(mktemp -d)
git clone -q . "$scratch/quillmark"
# Uncommitted changes count too: the clone gets the working tree's files.
git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -C "$scratch/quillmark" -xf -
quickstart=$(awk '/^```sh$/{n++; if (n==1) {getline; print; exit}}' README.md)
echo "\$ $quickstart"
(cd "$scratch/quillmark" && bash -c "$quickstart") | tail -5
rm -rf "$scratch"
passed=$((passed + 1))

begin "build and test (warnings are errors)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLMARK_WERROR=ON \
  -DQUILLMARK_BUILD_TESTS=ON -DQUILLMARK_BUILD_BENCH=ON >/dev/null
cmake --build build -j "$jobs"
run_ctest --test-dir build
bash scripts/test-editors.sh build --package
passed=$((passed + 3))

begin "sanitizers (ASan+UBSan)"
# A tree the parser runtime built damaged is kept on purpose (see the file);
# the sanitizer build's tests and the fuzz targets both meet such trees.
export LSAN_OPTIONS=suppressions=$PWD/fuzz/lsan.supp
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLMARK_SANITIZE=ON \
  -DQUILLMARK_WERROR=ON -DQUILLMARK_BUILD_TESTS=ON -DQUILLMARK_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs"
run_ctest --test-dir build-asan
# The races, a few more times.
run_ctest --test-dir build-asan -R cli_concurrent --repeat until-fail:3

begin "fuzzing ($fuzz_runs runs per target)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILLMARK_BUILD_FUZZ=ON -DQUILLMARK_BUILD_TESTS=OFF -DQUILLMARK_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$jobs"
# The comment seeds carry a whole settings file (about 5 KB) before the document.
for target in ini toggle comment batch lsp; do
  corpus=$(mktemp -d)
  cp fuzz/corpus/$target/* "$corpus"/
  limits=(-runs="$fuzz_runs" -max_len=4096)
  [ "$target" = comment ] && limits=(-runs="$fuzz_runs" -max_len=8192)
  # Its inputs repeat up to tens of thousands of times: seconds each under the sanitizers.
  # Damaged parser trees are kept on purpose, so its memory grows over a run.
  [ "$target" = batch ] && limits+=(-max_total_time=180 -rss_limit_mb=8192)
  build-fuzz/fuzz/${target}_fuzz "${limits[@]}" "$corpus" 2>&1 | tail -1
  rm -rf "$corpus"
  passed=$((passed + 1))
done
begin "the Windows module: cross build and installer"
# Separate lines: a failure in an && list would not stop this script.
bash scripts/windows.sh build
begin "the Windows module: tests under Wine"
bash scripts/windows.sh test
passed=$((passed + 1))

# After the Windows build, which installs the cross compiler and Wine: the
# Win32 dialogs are driven and pictured under Wine and Xvfb too.
begin "dialogs"
bash scripts/test-ui.sh build
passed=$((passed + 1))
echo "took $((SECONDS - start)) s"
echo "tests: $passed passed, 0 failed"
