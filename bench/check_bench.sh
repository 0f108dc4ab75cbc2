#!/usr/bin/env bash
# Check benchmark: the batch benchmark's tree, commented by batch, then
# checked with `quillmark check` twice: with every block current, and after
# an edit to every file has made three blocks of each stale. Prints files per
# second, as a pre-commit hook on a large tree would see them.
#   check_bench.sh QUILLMARK [FILES (default 2000)] [JOBS (default: one per core)]
set -eu
bin=$1 files=${2:-2000} jobs=${3:-0}
[ -x /usr/bin/time ] || { echo "check_bench: /usr/bin/time is missing (apt-get install time)" >&2; exit 2; }
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT
export XDG_CONFIG_HOME=$top/config QUILLMARK_DATE=2002-09-17
tree=$top/tree
bash "$(dirname "$0")/bench_tree.sh" "$tree" "$files"
"$bin" --settings "$top/settings.ini" batch "$tree" >/dev/null 2>&1
elapsed() {
  awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s}' "$1"
}
args=(--settings "$top/settings.ini" check "$tree")
[ "$jobs" = 0 ] || args+=(--jobs "$jobs")
run() {
  local name=$1 status=0
  /usr/bin/time -v -o "$top/time" "$bin" "${args[@]}" >"$top/out" 2>"$top/err" || status=$?
  local seconds peak
  seconds=$(elapsed "$top/time")
  peak=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$top/time")
  awk -v n="$name" -v f="$files" -v s="$seconds" -v p="$peak" -v r="$status" \
    -v found="$(wc -l <"$top/out")" 'BEGIN {
    printf "check, %s: %d files, %d findings, exit %d; %.2f s, %.0f files/s, peak memory %.1f MiB\n",
      n, f, found, r, s, (s > 0 ? f / s : 0), p / 1024 }'
}
run "every block current"
# A parameter added to every Describe, a class renamed, a base class dropped.
find "$tree" -name '*.cpp' -exec sed -i -e '/^\/\//!s/bool verbose = false)/bool verbose = false, int depth = 0)/' \
  -e '/^\/\//!s/\bPoint\([0-9]*\) {/Point\1D {/' -e 's/, private Mixin {/ {/' {} +
run "three stale blocks a file"
