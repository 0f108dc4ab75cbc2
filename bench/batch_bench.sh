#!/usr/bin/env bash
# Batch benchmark: generates a tree of source files, comments it with
# `quillmark batch`, and prints files per second and the peak memory.
#   batch_bench.sh QUILLMARK [FILES (default 2000)] [JOBS (default: one per core)]
set -eu
bin=$1 files=${2:-2000} jobs=${3:-0}
[ -x /usr/bin/time ] || { echo "batch_bench: /usr/bin/time is missing (apt-get install time)" >&2; exit 2; }
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT
export XDG_CONFIG_HOME=$top/config QUILLMARK_DATE=2002-09-17
tree=$top/tree
bash "$(dirname "$0")/bench_tree.sh" "$tree" "$files"
bytes=$(du -sb "$tree" | cut -f1)
# The wall-clock seconds in a /usr/bin/time -v report.
elapsed() {
  awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s}' "$1"
}
args=(--settings "$top/settings.ini" batch "$tree")
[ "$jobs" = 0 ] || args+=(--jobs "$jobs")
/usr/bin/time -v -o "$top/time" "$bin" "${args[@]}" >/dev/null 2>"$top/err"
summary=$(tail -n 1 "$top/err")
seconds=$(elapsed "$top/time")
peak=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$top/time")
echo "batch: $files files ($((bytes / 1024)) KiB), ${jobs/#0/one per core} jobs: $summary"
awk -v f="$files" -v s="$seconds" -v p="$peak" 'BEGIN {
  printf "batch: %.2f s, %.0f files/s, peak memory %.1f MiB\n", s, (s > 0 ? f / s : 0), p / 1024 }'
# A second run finds everything commented.
/usr/bin/time -v -o "$top/time2" "$bin" "${args[@]}" >/dev/null 2>"$top/err2"
seconds2=$(elapsed "$top/time2")
echo "batch, second run: $(tail -n 1 "$top/err2"); $seconds2 s"
