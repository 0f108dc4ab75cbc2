#!/usr/bin/env bash
# How `quillmark batch` grows with the declarations of one file: comments a
# file of 10,000, 20,000 and 40,000 functions (writing, and --dry-run), prints
# the seconds of each and the 10k -> 40k ratio (4 means linear).
#   batch_scaling.sh QUILLMARK
set -eu
bin=$1
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT
export XDG_CONFIG_HOME=$top/config QUILLMARK_DATE=2002-09-17

now() { date +%s%N; }
seconds() { awk -v ns="$1" 'BEGIN { printf "%.2f", ns / 1e9 }'; }

declare -A wrote dry
for n in 10000 20000 40000; do
  file=$top/f$n.cpp
  for ((i = 0; i < n; i++)); do printf 'int f%d(int a, char* b)\n{\n    return a;\n}\n\n' "$i"; done >"$file"
  start=$(now)
  "$bin" batch --dry-run "$file" >/dev/null 2>&1
  dry[$n]=$(($(now) - start))
  start=$(now)
  "$bin" batch "$file" >/dev/null 2>&1
  wrote[$n]=$(($(now) - start))
  blocks=$(grep -c $'^//\t函 数 名' "$file" || true)
  [ "$blocks" -eq "$n" ] || { echo "batch_scaling: $blocks blocks written for $n functions" >&2; exit 1; }
  printf '%6d functions: dry-run %s s, writing %s s\n' "$n" "$(seconds "${dry[$n]}")" \
    "$(seconds "${wrote[$n]}")"
done
awk -v d10="${dry[10000]}" -v d40="${dry[40000]}" -v w10="${wrote[10000]}" -v w40="${wrote[40000]}" \
  'BEGIN { printf "10k -> 40k ratio: dry-run %.2f, writing %.2f (4 is linear)\n", d40 / d10, w40 / w10 }'
