#!/usr/bin/env bash
# Blocks that stay true, end to end: declarations commented, the user's words
# typed into the blocks, the declarations edited (a parameter added, a class
# renamed, a base class dropped); check reports the stale blocks, refresh
# brings them up to date byte for byte, check is then clean and a second
# refresh changes nothing. Once in UTF-8 with LF, once in GBK with CR LF.
#   refresh.sh QUILLMARK CASEDIR [--update]   (--update rewrites expected/refresh_*)
set -u
bin=$(realpath "$1") dir=$(realpath "$2") update=${3:-}
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT
work=$top/golden
mkdir "$work"
export XDG_CONFIG_HOME=$work/config QUILLMARK_DATE=2002-09-17
cd "$work" || exit 1
touch CMakeLists.txt
settings=$work/settings.ini
"$bin" --settings "$settings" settings --save "$settings" >/dev/null || exit 1
sed -i 's/^AuthorName=.*\r$/AuthorName=Author Name\r/' "$settings"
q() { "$bin" --settings "$settings" "$@"; }
pass=0 fail=0
problem() {
  fail=$((fail + 1))
  printf 'FAIL %s: %s\n' "$1" "$2"
  trap - EXIT
  echo "  files kept in $top"
}
# same NAME FILE: FILE must equal expected/NAME.
same() {
  [ "$update" = --update ] && cp "$2" "$dir/expected/$1"
  if cmp -s "$dir/expected/$1" "$2"; then
    pass=$((pass + 1))
  else
    problem "$1" "differs: diff <(cat -A $dir/expected/$1) <(cat -A $2)"
  fi
}
# status NAME EXPECTED GOT
status() {
  if [ "$2" = "$3" ]; then pass=$((pass + 1)); else problem "$1" "exit status $3, expected $2"; fi
}

# The user at work on a file in UTF-8: their words into the blocks, then
# the declarations edited.
type_and_edit() {
  sed -i -e 's/函数功能 : $/函数功能 : 面积/' \
    -e 's/描    述 : $/描    述 : 形状基类/' \
    -e '/描    述 : 形状基类/a //\t\t\t  所有图形的基类' \
    -e 's/参数说明 : double radius$/参数说明 : double radius  半径/' "$1"
  sed -i -e '/^\/\//!s/CShape/CCircle/g' -e 's/, public IDraw//' \
    -e 's/double radius) const/double radius, int precision) const/' \
    -e 's/SCALE(x, y)/SCALE(x, y, z)/' "$1"
}

run_case() {
  local name=$1 file=$2 encoding=$3
  # Bottom to top, so that the line numbers above stay.
  for line in 14 9 3; do q comment "$file" --line "$line" >/dev/null || problem "$name" "comment --line $line"; done
  if [ "$encoding" = gbk ]; then
    # An editor that keeps the file's GBK and CR LF.
    iconv -f GBK -t UTF-8 "$file" | sed 's/\r$//' >"$file.utf8" && type_and_edit "$file.utf8" &&
      sed 's/$/\r/' "$file.utf8" | iconv -f UTF-8 -t GBK >"$file" && rm "$file.utf8"
  else
    type_and_edit "$file"
  fi
  cp "$file" "$file.edited"
  q check "$file" >"$name.check" 2>"$name.check.err"
  status "$name check" 1 $?
  sed -i "s|$work/||" "$name.check"
  same "refresh_${name}_check.txt" "$name.check"
  cmp -s "$file" "$file.edited" || problem "$name" "check changed the file"
  q check --format json "$file" >"$name.json"
  status "$name check json" 1 $?
  sed -i "s|$work/||" "$name.json"
  same "refresh_${name}_check.json" "$name.json"
  # Each stale block, from the bottom up.
  for line in $(cut -d: -f2 "$name.check" | sort -rn); do
    q refresh "$file" --line "$line" >>"$name.carets" || problem "$name" "refresh --line $line"
  done
  sed -i "s|$work/||" "$name.carets"
  same "refresh_${name}_carets.txt" "$name.carets"
  same "refresh_${name}" "$file"
  q check "$file" >"$name.clean" 2>&1
  status "$name check after refresh" 0 $?
  [ -s "$name.clean" ] && problem "$name" "check after refresh printed $(cat "$name.clean")"
  cp "$file" "$file.refreshed"
  local lines
  lines=$(grep -n -E '^(class CCircle|double CCircle::Area|#define SCALE)' "$file" | cut -d: -f1)
  [ "$(echo $lines)" = "15 33 48" ] || problem "$name" "declarations on lines $(echo $lines)"
  for line in $lines; do
    q refresh "$file" --line "$line" >/dev/null 2>&1
    local got=$?
    status "$name refresh again --line $line" 3 "$got"
    # The keyword mode spaces lists its own way, and still finds them current.
    q --parser keywords refresh "$file" --line "$line" >/dev/null 2>&1
    got=$?
    status "$name refresh again in the keyword mode --line $line" 3 "$got"
  done
  cmp -s "$file" "$file.refreshed" || problem "$name" "a second refresh changed the file"
}

cp "$dir/data/shapes.cpp" shapes.cpp
run_case utf8_lf shapes.cpp utf-8
iconv -f UTF-8 -t GBK "$dir/data/shapes.cpp" | sed 's/$/\r/' >shapes_gbk_crlf.cpp
run_case gbk_crlf shapes_gbk_crlf.cpp gbk

# What refresh says when there is nothing to do, with --verbose.
printf '// mine\nint f(int a);\n\nint g(int b);\n' >plain.c
msg=$(q --verbose refresh plain.c --line 2 2>&1)
status "foreign" 3 $?
[ "$msg" = "quillmark: the comment above the declaration does not follow its kind's template; it is left as it is; nothing changed" ] || problem foreign "said '$msg'"
msg=$(q --verbose refresh plain.c --line 4 2>&1)
status "no block" 3 $?
[ "$msg" = "quillmark: there is no comment above the declaration; nothing changed" ] || problem "no block" "said '$msg'"
msg=$(q refresh plain.c --line 4 2>&1)
[ -z "$msg" ] || problem quiet "said '$msg' without --verbose"
q check plain.c nowhere.c >/dev/null 2>&1
status "missing file" 2 $?
q check --kinds bogus plain.c >/dev/null 2>&1
status "unknown kind" 2 $?
q check --format xml plain.c >/dev/null 2>&1
status "unknown format" 2 $?
# --missing and --verbose: the undocumented and the foreign, in one line each.
q --verbose check --missing --kinds function plain.c >missing.txt 2>/dev/null
status "missing and foreign" 1 $?
printf '%s\n' "plain.c:2:1: warning: comment of 'f' does not follow the template of its kind (function); it is left as it is [foreign]" \
  "plain.c:4:1: warning: function 'g' has no comment [missing]" >missing.expected
cmp -s missing.expected missing.txt || problem "missing and foreign" "printed $(cat missing.txt)"
q check --format json plain.c >empty.json
status "json, nothing found" 0 $?
[ "$(cat empty.json)" = "[]" ] || problem "json, nothing found" "printed $(cat empty.json)"

# batch --refresh: stale blocks refreshed in the same pass as new ones go in.
mkdir tree && cp "$dir/data/shapes_stale.cpp" tree/a.cpp && printf 'int Fresh(int a);\n' >>tree/a.cpp
(cd tree && q batch --refresh --dry-run . >../dry.txt 2>../dry.err)
status "batch --refresh --dry-run" 0 $?
same refresh_batch_dry_run.txt dry.txt
grep -q "1 files, 1 declarations to comment, 2 blocks to refresh, 0 failed" dry.err ||
  problem "batch --refresh --dry-run" "said $(cat dry.err)"
q batch --refresh --no-new tree >/dev/null 2>&1
status "batch --refresh --no-new" 0 $?
same refresh_batch_no_new tree/a.cpp
q batch --refresh tree >/dev/null 2>batch.err
grep -q "1 files, 1 declarations commented, 0 blocks refreshed, 0 failed" batch.err ||
  problem "batch --refresh" "said $(cat batch.err)"
q check --missing tree >/dev/null 2>&1
status "check --missing after batch --refresh" 0 $?
cp tree/a.cpp once.cpp
q batch --refresh tree >/dev/null 2>&1
cmp -s once.cpp tree/a.cpp || problem "batch --refresh" "a second run changed the file"
q batch --no-new tree >/dev/null 2>&1
status "--no-new without --refresh" 2 $?
# check writes nothing, not even a first settings file: the defaults serve.
XDG_CONFIG_HOME=$work/fresh "$bin" check tree >/dev/null 2>&1
status "check without a settings file" 0 $?
if [ -n "$(find "$work/fresh" -type f 2>/dev/null)" ]; then
  problem "check without a settings file" "it wrote $(find "$work/fresh" -type f)"
else
  pass=$((pass + 1))
fi

echo "refresh: $pass passed, $fail failed"
[ "$fail" = 0 ]
