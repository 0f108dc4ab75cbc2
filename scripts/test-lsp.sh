#!/usr/bin/env bash
# The language server's tests on a build directory: its unit tests, the
# scripted protocol client, Neovim and Emacs end to end, and short benchmark runs; with
# a fuzz build directory (clang, QUILLMARK_BUILD_FUZZ=ON) also a bounded fuzz run.
#   scripts/test-lsp.sh BUILD_DIR [FUZZ_BUILD_DIR [FUZZ_RUNS]]    (BUILD_DIR "-" skips to fuzzing)
set -eu -o pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: scripts/test-lsp.sh BUILD_DIR [FUZZ_BUILD_DIR [FUZZ_RUNS]]}
fuzz_build=${2:-}
fuzz_runs=${3:-20000}

if [ "$build" != - ]; then
  echo "== language server tests"
  ctest --test-dir "$build" -R '^(lsp_|DocumentTest|DiagnosticsTest)' --output-on-failure
  if [ -x "$build/lsp/lsp_bench" ]; then
    echo "== language server benchmark (100,000 lines: incremental change + codeAction; didChange to stale-block diagnostics)"
    "$build/lsp/lsp_bench" --benchmark_min_time=0.2
  fi
  echo "== latency added by lsp --with (1,000 forwarded requests)"
  python3 bench/lsp_proxy_bench.py "$build/cli/quillmark"
fi
if [ -n "$fuzz_build" ]; then
  echo "== language server fuzzing ($fuzz_runs runs)"
  corpus=$(mktemp -d)
  trap 'rm -rf "$corpus"' EXIT
  cp fuzz/corpus/lsp/* "$corpus"/
  "$fuzz_build/fuzz/lsp_fuzz" -runs="$fuzz_runs" -max_len=4096 -timeout=10 "$corpus" 2>&1 | tail -1
fi
