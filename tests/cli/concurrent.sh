#!/usr/bin/env bash
# Many quillmark runs against one settings file at once: every run reads it,
# and writes it back at the end. The file must never be left empty, truncated
# or with the defaults written over the user's templates.
set -u
bin=$1 runs=${2:-40}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
settings=$work/shared.ini
printf '[普通函数注释]\r\nCommentLineCount=1\r\nLine0=// mine %%Function%%\r\n' | iconv -f UTF-8 -t CP936 >seed
cp seed "$settings"
pids=()
for i in $(seq "$runs"); do
  printf 'int f%d(int a);\n' "$i" >"f$i.c"
  "$bin" --settings "$settings" comment "f$i.c" --line 1 >"out$i" 2>"err$i" &
  pids+=($!)
done
fail=0
for i in "${!pids[@]}"; do
  wait "${pids[$i]}" || { echo "FAIL run $((i + 1)): $(cat "err$((i + 1))")"; fail=$((fail + 1)); }
done
for i in $(seq "$runs"); do
  grep -qx "// mine f$i" "f$i.c" || { echo "FAIL run $i did not see the user's template"; fail=$((fail + 1)); }
done
# The file is whole: the user's line kept, every kind's section present.
iconv -f CP936 -t UTF-8 "$settings" | grep -q '^Line0=// mine %Function%' || { echo "FAIL template lost"; fail=$((fail + 1)); }
[ "$(grep -c '^CommentLineCount=' "$settings")" = 12 ] || { echo "FAIL settings file incomplete"; fail=$((fail + 1)); }
leftovers=$(find "$work" -name '.shared.ini.tmp-*' | wc -l)
[ "$leftovers" = 0 ] || { echo "FAIL $leftovers temporary files left"; fail=$((fail + 1)); }
echo "concurrent: $((runs - fail < 0 ? 0 : runs - fail)) passed, $fail failed"
[ "$fail" = 0 ]
