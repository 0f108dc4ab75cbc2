#!/usr/bin/env bash
# Many quillmark runs at once.
# 1. Against one settings file: every run reads it and none may rewrite it (a
#    comment run changes no setting), so it stays byte for byte the user's.
# 2. Against one source file, each run commenting a line: a run may lose the
#    race and say so (exit 2), but every run that reports success has its block
#    in the final file (one block per success: none overwritten), which stays whole.
set -u
bin=$1 runs=${2:-40}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
settings=$work/shared.ini
printf '; my notes\r\n[普通函数注释]\r\nCommentLineCount=1\r\nLine0=// mine %%Function%%\r\n' | iconv -f UTF-8 -t CP936 >seed
cp seed "$settings"
fail=0 pass=0
check() { if eval "$2"; then pass=$((pass + 1)); else echo "FAIL $1"; fail=$((fail + 1)); fi; }

pids=()
for i in $(seq "$runs"); do
  printf 'int f%d(int a);\n' "$i" >"f$i.c"
  "$bin" --settings "$settings" comment "f$i.c" --line 1 >"out$i" 2>"err$i" &
  pids+=($!)
done
for i in "${!pids[@]}"; do
  wait "${pids[$i]}" || { echo "FAIL run $((i + 1)): $(cat "err$((i + 1))")"; fail=$((fail + 1)); }
done
for i in $(seq "$runs"); do
  grep -qx "// mine f$i" "f$i.c" || { echo "FAIL run $i did not see the user's template"; fail=$((fail + 1)); }
done
check "settings file rewritten" 'cmp -s seed "$settings"'

# One file, many writers.
for i in $(seq "$runs"); do printf 'int g%d(int a);\n' "$i"; done >one.c
cp one.c one.orig
pids=()
for i in $(seq "$runs"); do
  # Blocks shift the lines, so a run may find one of them on its line: nothing to do.
  "$bin" --verbose --settings "$settings" comment one.c --line "$i" >"one$i.out" 2>"one$i.err" &
  pids+=($!)
done
won=0
for i in "${!pids[@]}"; do
  n=$((i + 1))
  if wait "${pids[$i]}"; then
    won=$((won + 1))
  else
    check "run $n failed without saying why" "grep -qE 'changed while it was being edited|no declaration' one$n.err"
  fi
done
check "no run succeeded" '[ "$won" -ge 1 ]'
blocks=$(grep -c '^// mine g' one.c)
check "$won runs reported success but only $blocks blocks are in the file" '[ "$blocks" = "$won" ]'
check "the file lost a declaration" "[ \"\$(grep -c '^int g' one.c)\" = $runs ]"
leftovers=$(find "$work" -name '*.quillmark-*' | wc -l)
check "$leftovers temporary files left" '[ "$leftovers" = 0 ]'
echo "concurrent: $pass passed, $fail failed ($won of $runs runs on one file won)"
[ "$fail" = 0 ]
