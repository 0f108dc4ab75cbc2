#!/usr/bin/env bash
# Times `quillmark comment` on a generated 100,000-line file against `cp` of the
# same file, in one run, and prints the ratio (target: at most 3).
#   bench/time_cli.sh [QUILLMARK] [RUNS]
set -eu
bin=${1:-build-rel/cli/quillmark}
runs=${2:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config

# 100,000 lines of plausible source, a function head in the middle.
awk 'BEGIN {
  for (i = 1; i <= 100000; i++) {
    if (i == 50000) print "int ComputeTotal(int count, const char* name, double scale)";
    else printf "    total += values[%d] * factor; // 累加第%d项\n", i % 97, i;
  }
}' >"$work/big.cpp"
"$bin" comment "$work/big.cpp" --line 1 >/dev/null 2>&1 || true  # creates the settings file

now() { date +%s%N; }
tool=0 copy=0
for _ in $(seq "$runs"); do
  cp "$work/big.cpp" "$work/in.cpp"
  t0=$(now)
  "$bin" comment "$work/in.cpp" --line 50000 --output "$work/out.cpp" >/dev/null
  t1=$(now)
  cp "$work/in.cpp" "$work/copy.cpp"
  t2=$(now)
  tool=$((tool + t1 - t0))
  copy=$((copy + t2 - t1))
done
printf 'file: %s lines, %s bytes; %s runs\n' "$(wc -l <"$work/big.cpp")" "$(wc -c <"$work/big.cpp")" "$runs"
printf 'quillmark comment: %d us per run\n' $((tool / runs / 1000))
printf 'cp:                %d us per run\n' $((copy / runs / 1000))
awk -v a="$tool" -v b="$copy" 'BEGIN { printf "ratio quillmark/cp: %.2f (target: at most 3)\n", a / b }'
