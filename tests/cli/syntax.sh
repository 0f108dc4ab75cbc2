#!/usr/bin/env bash
# The syntax mode and batch end to end:
#   syntax.sh QUILLMARK [--update]   (--update rewrites syntax/batch/expected/)
# - the golden cases in syntax/cases.txt (UTF-8 and GBK files);
# - --verbose says when the keyword mode took over; [Quillmark] Parser= in the
#   settings file chooses the mode, --parser overrides it;
# - batch on a fixture tree: --dry-run, --diff (which patch applies to give the
#   written result), the written result byte for byte, a second run that changes
#   nothing, .gitignored files skipped, failing files reported and skipped.
set -u
bin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1") update=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT
export XDG_CONFIG_HOME=$top/config QUILLMARK_DATE=2002-09-17
fail=0
check() {  # check WHY COMMAND...: the command must succeed
  local why=$1
  shift
  if ! "$@"; then
    echo "FAIL $why"
    fail=$((fail + 1))
  fi
}

GOLDEN_PARSER= bash "$here/golden.sh" "$bin" "$here/syntax" || fail=$((fail + 1))

settings=$top/settings.ini
"$bin" --settings "$settings" settings --save "$settings" >/dev/null || exit 1
sed -i 's/^AuthorName=.*\r$/AuthorName=Author Name\r/' "$settings"
src=$here/syntax/data/modern.cpp

# --verbose names the fallback, and only when there was one.
cp "$src" "$top/m.cpp"
"$bin" --settings "$settings" --verbose --parser syntax comment "$top/m.cpp" --line 27 \
  --output "$top/out" 2>"$top/err" >/dev/null
check "--verbose reports the fallback" grep -q "the keyword mode was used" "$top/err"
"$bin" --settings "$settings" --verbose --parser syntax comment "$top/m.cpp" --line 4 \
  --output "$top/out" 2>"$top/err" >/dev/null
check "no fallback, no report" test ! -s "$top/err"

# The settings file chooses the mode; --parser overrides it.
"$bin" --settings "$settings" --parser syntax comment "$top/m.cpp" --line 11 --output "$top/syntax.out" >/dev/null
"$bin" --settings "$settings" --parser keywords comment "$top/m.cpp" --line 11 --output "$top/keywords.out" >/dev/null
differ() { ! cmp -s "$1" "$2"; }
not() { ! "$@"; }
not_grep() { ! grep -q "$@"; }
check "the modes differ on enum class" differ "$top/syntax.out" "$top/keywords.out"
cp "$settings" "$top/syntax.ini"
printf '[Quillmark]\r\nParser=syntax\r\n' >>"$top/syntax.ini"
"$bin" --settings "$top/syntax.ini" comment "$top/m.cpp" --line 11 --output "$top/out" >/dev/null
check "Parser=syntax in [Quillmark]" cmp -s "$top/syntax.out" "$top/out"
"$bin" --settings "$top/syntax.ini" --parser keywords comment "$top/m.cpp" --line 11 --output "$top/out" >/dev/null
check "--parser keywords overrides the settings file" cmp -s "$top/keywords.out" "$top/out"
cp "$settings" "$top/keywords.ini"
printf '[Quillmark]\r\nParser=keywords\r\n' >>"$top/keywords.ini"
"$bin" --settings "$top/keywords.ini" comment "$top/m.cpp" --line 11 --output "$top/out" >/dev/null
check "Parser=keywords in [Quillmark]" cmp -s "$top/keywords.out" "$top/out"
check "a comment run keeps [Quillmark]" grep -q '^Parser=syntax' "$top/syntax.ini"
cp "$settings" "$top/bad.ini"
printf '[Quillmark]\r\nParser=grammar\r\n' >>"$top/bad.ini"
"$bin" --settings "$top/bad.ini" comment "$top/m.cpp" --line 11 --output "$top/out" >/dev/null 2>"$top/err"
check "a bad Parser= value warns and keeps the default, the syntax mode" cmp -s "$top/syntax.out" "$top/out"
check "the warning names the value" grep -q "Parser=grammar" "$top/err"
"$bin" --settings "$settings" --parser grammar comment "$top/m.cpp" --line 11 >/dev/null 2>&1
check "--parser takes syntax or keywords only" test $? = 2

# batch on a fixture tree.
input=$here/syntax/batch/input expected=$here/syntax/batch/expected
tree=$top/tree
cp -r "$input" "$tree"
(cd "$tree" && "$bin" --settings "$settings" batch . --dry-run >"$top/dry" 2>"$top/dry.err")
check "--dry-run succeeds" test $? = 0
check "--dry-run lists what it would comment" diff "$here/syntax/batch/dry-run.txt" "$top/dry"
check "--dry-run writes nothing" diff -r "$input" "$tree"
check "--dry-run summary" grep -q "2 files, 9 declarations to comment, 0 failed" "$top/dry.err"
(cd "$tree" && "$bin" --settings "$settings" batch . --diff >"$top/diff" 2>/dev/null)
check "--diff writes nothing" diff -r "$input" "$tree"
cp -r "$input" "$top/patched"
(cd "$top/patched" && patch -s -p0 <"$top/diff")
check "the diff applies" test $? = 0
"$bin" --settings "$settings" batch "$tree" --jobs 2 >/dev/null 2>"$top/run.err"
check "batch succeeds" test $? = 0
if [ "$update" = --update ]; then rm -rf "$expected" && cp -r "$tree" "$expected"; fi
check "the written tree" diff -r "$expected" "$tree"
check "the diff gives the written tree" diff -r "$tree" "$top/patched"
cp -r "$tree" "$top/once"
"$bin" --settings "$settings" batch "$tree" >/dev/null 2>"$top/run.err"
check "a second run changes nothing" diff -r "$top/once" "$tree"
check "a second run comments nothing" grep -q "0 declarations commented" "$top/run.err"

# .gitignored paths are skipped inside a git work tree.
if command -v git >/dev/null; then
  cp -r "$input" "$top/repo"
  git -C "$top/repo" init -q
  mkdir "$top/repo/generated"
  printf 'int Generated(int a);\n' >"$top/repo/generated/gen.c"
  printf 'generated/\n' >"$top/repo/.gitignore"
  # Nothing the tree's own git configuration names is run.
  git -C "$top/repo" add -A
  git -C "$top/repo" config core.fsmonitor "touch $top/fsmonitor-ran; false"
  git -C "$top/repo" config core.hooksPath "$top/hooks"
  "$bin" --settings "$settings" batch "$top/repo" >/dev/null 2>&1
  check "an ignored file is untouched" test "$(cat "$top/repo/generated/gen.c")" = "int Generated(int a);"
  check "the others are written" diff -r "$expected" "$top/repo" -x .git -x generated -x .gitignore
  check "the tree's core.fsmonitor command did not run" test ! -e "$top/fsmonitor-ran"
  # check walks the tree the same way, and runs nothing of it either.
  "$bin" --settings "$settings" check --missing "$top/repo" >"$top/check.out" 2>&1
  check "check honours .gitignore" sh -c '! grep -q generated "$0"' "$top/check.out"
  check "check runs no core.fsmonitor command" test ! -e "$top/fsmonitor-ran"
fi

# A failing file is reported and skipped; the others are written.
cp -r "$input" "$top/faulty"
printf 'int f(void);\n\0binary\n' >"$top/faulty/binary.c"
printf 'int Linked(int a);\n' >"$top/faulty/linked.c"
ln "$top/faulty/linked.c" "$top/link2.c"
# Nesting deeper than the walk takes, and deeper than the parser survives.
repeat() { for ((i = 0; i < $2; i++)); do printf '%s\n' "$1"; done; }
{ repeat 'struct S {' 20000; echo 'int f(int a);'; repeat '};' 20000; } >"$top/faulty/deep_struct.h"
repeat 'class A {' 30000 >"$top/faulty/deep_class.h"
{ printf 'int x = '; repeat 'a =' 40000; } >"$top/faulty/chain.c"
{ printf 'int x = '; repeat '(' 70000; } >"$top/faulty/parens.c"
{ repeat '#if X' 1200; echo 'int f(int a);'; repeat '#endif' 1200; } >"$top/faulty/deep_ifs.h"
cp "$top/faulty/deep_struct.h" "$top/deep_struct.h"
"$bin" --settings "$settings" batch "$top/faulty" --dry-run -j 1 >/dev/null 2>"$top/faulty.err"
check "--dry-run -j 1 on deep nesting gives exit status 2" test $? = 2
check "--dry-run -j 1 prints its summary" grep -q "9 files, 10 declarations to comment, 6 failed" "$top/faulty.err"
"$bin" --settings "$settings" batch "$top/faulty" >/dev/null 2>"$top/faulty.err"
check "failures give exit status 2" test $? = 2
check "the file with NUL bytes is reported" grep -q "binary.c is not a text file" "$top/faulty.err"
check "the hard-linked file is reported" grep -q "linked.c" "$top/faulty.err"
check "too deep a nesting of braces is reported" \
  grep -q "deep_struct.h: brackets nest more than 1000 levels deep; skipped" "$top/faulty.err"
check "unclosed braces count too" \
  grep -q "deep_class.h: brackets nest more than 1000 levels deep; skipped" "$top/faulty.err"
check "too deep a nesting of declarations is reported" \
  grep -q "deep_ifs.h: declarations nest more than 1000 levels deep; skipped" "$top/faulty.err"
check "too long a chain for the parser is reported" \
  grep -q "chain.c: the text nests or chains too deeply for the C++ parser; skipped" "$top/faulty.err"
check "too deep parentheses are reported" \
  grep -q "parens.c: brackets nest more than 1000 levels deep; skipped" "$top/faulty.err"
check "the summary counts all" grep -q "9 files, 9 declarations commented, 7 failed" "$top/faulty.err"
check "the deep files are untouched" cmp -s "$top/deep_struct.h" "$top/faulty/deep_struct.h"
check "the failing files are untouched" test "$(cat "$top/faulty/linked.c")" = "int Linked(int a);"
check "the others are written" diff -r "$expected" "$top/faulty" -x binary.c -x linked.c \
  -x deep_struct.h -x deep_class.h -x chain.c -x parens.c -x deep_ifs.h
# A symbolic link loop inside a tree is passed over with a line; named, it is
# called what it is.
cp -r "$input" "$top/loop"
ln -s self "$top/loop/self"
"$bin" --settings "$settings" batch "$top/loop" --dry-run >/dev/null 2>"$top/err"
check "a link loop inside a tree does not stop batch" test $? = 0
check "a link loop inside a tree gets a line" grep -q "loop/self: a symbolic link loop; skipped" "$top/err"
check "the files beside a link loop are processed" grep -q "2 files, 9 declarations to comment" "$top/err"
"$bin" --settings "$settings" batch "$top/loop/self" --dry-run >/dev/null 2>"$top/err"
check "a link loop named is an error" test $? = 2
check "a link loop named is called so" grep -q "loop/self: a symbolic link loop$" "$top/err"
# Brackets inside string and character literals nest nothing.
braces=$(printf '{(%.0s' $(seq 800))
{ printf 'const char* s = "%s";\nchar c = '"'{'"';\n' "$braces"
  printf 'auto r = R"x(%s\n%s)x";\nint n = 1'"'"'000;\nint g(int a);\n' "$braces" "$braces"; } >"$top/literals.c"
"$bin" --settings "$settings" batch "$top/literals.c" --dry-run >"$top/out" 2>"$top/err"
check "brackets in literals are not nesting" grep -q "literals.c:.*: function g" "$top/out"
# A small file the parser could not read is said, not passed over in silence.
printf 'auto x = [=](\nint f(int a);\n' >"$top/lambda.cpp"
"$bin" --settings "$settings" batch "$top/lambda.cpp" --dry-run >"$top/out" 2>"$top/err"
check "an unread file keeps exit status 0" test $? = 0
check "an unread file is reported" \
  grep -q "lambda.cpp:1: warning: the C++ parser could not read lines 1 to 2; nothing there was commented" "$top/err"
# The comment command in the syntax mode reads the whole document for a function's class.
printf 'int f(int a);\n' >"$top/chained.c"
repeat 'a =' 40000 >>"$top/chained.c"
"$bin" --settings "$settings" --parser syntax comment "$top/chained.c" --line 1 --output "$top/out" \
  >/dev/null 2>&1
check "comment on a file too deep for the parser does not crash" test $? -lt 128
"$bin" --settings "$settings" batch "$top/faulty" --kinds class,nonsense >/dev/null 2>"$top/err"
check "an unknown kind is a usage error" test $? = 2

# batch --refresh: stale blocks written again (the user's text kept), new
# declarations commented unless --no-new; --dry-run, --diff and a second run.
cp -r "$expected" "$top/stale"
sed -i -e 's/^T Largest(const std::vector<T>& items, U compare = U())$/T Largest(const std::vector<T>\& items, U compare = U(), int limit = 10)/' \
  -e '/函 数 名 : Largest/,/^template/ s/处理过程 : $/处理过程 : 逐项比较/' "$top/stale/shapes.cpp"
printf 'int Fresh(int b);\n' >>"$top/stale/shapes.cpp"
sed -i -e 's/public Surface<int, 2> {\r$/public Surface<int, 2>, public Printable {\r/' \
  -e 's/void Draw(const Point& at);/void Draw(const Point\& at, int layer);/' "$top/stale/sub/canvas_gbk.h"
refreshed=$here/syntax/batch/refreshed
cp -r "$top/stale" "$top/refresh"
(cd "$top/refresh" && "$bin" --settings "$settings" batch . --refresh --dry-run >"$top/dry" 2>"$top/err")
check "--refresh --dry-run succeeds" test $? = 0
check "--refresh --dry-run lists refreshes and new blocks by line" test "$(cat "$top/dry")" = \
"./shapes.cpp:33: refresh function Largest
./shapes.cpp:61: function Fresh
./sub/canvas_gbk.h:53: refresh class Canvas
./sub/canvas_gbk.h:66: refresh member function Canvas::Draw"
check "--refresh --dry-run summary" grep -q "2 files, 1 declarations to comment, 3 blocks to refresh, 0 failed" "$top/err"
check "--refresh --dry-run writes nothing" diff -r "$top/stale" "$top/refresh"
(cd "$top/refresh" && "$bin" --settings "$settings" batch . --refresh --no-new --dry-run >"$top/dry" 2>/dev/null)
check "--no-new lists no new block" not_grep "Fresh" "$top/dry"
(cd "$top/refresh" && "$bin" --settings "$settings" batch . --refresh --diff >"$top/diff" 2>/dev/null)
cp -r "$top/stale" "$top/refresh-patched"
(cd "$top/refresh-patched" && patch -s -p0 <"$top/diff")
check "the --refresh diff applies" test $? = 0
"$bin" --settings "$settings" batch "$top/refresh" --refresh >/dev/null 2>"$top/err"
check "batch --refresh succeeds" test $? = 0
check "batch --refresh summary" grep -q "1 declarations commented, 3 blocks refreshed" "$top/err"
if [ "$update" = --update ]; then rm -rf "$refreshed" && cp -r "$top/refresh" "$refreshed"; fi
check "the refreshed tree" diff -r "$refreshed" "$top/refresh"
check "the --refresh diff gives the refreshed tree" diff -r "$top/refresh" "$top/refresh-patched"
check "the user's text survives a refresh" grep -q "处理过程 : 逐项比较" "$top/refresh/shapes.cpp"
cp -r "$top/refresh" "$top/refresh-once"
"$bin" --settings "$settings" batch "$top/refresh" --refresh >/dev/null 2>"$top/err"
check "a second --refresh changes nothing" diff -r "$top/refresh-once" "$top/refresh"
check "a second --refresh finds nothing" grep -q "0 declarations commented, 0 blocks refreshed" "$top/err"
cp -r "$top/stale" "$top/no-new"
"$bin" --settings "$settings" batch "$top/no-new" --refresh --no-new >/dev/null 2>"$top/err"
check "--no-new refreshes" grep -q "0 declarations commented, 3 blocks refreshed" "$top/err"
check "--no-new leaves the undocumented declaration alone" \
  test "$(tail -2 "$top/no-new/shapes.cpp")" = "$(printf 'static int Counter(int start = 0) { return start; }\nint Fresh(int b);')"
"$bin" --settings "$settings" batch "$top/no-new" --no-new >/dev/null 2>&1
check "--no-new without --refresh is a usage error" test $? = 2
printf 'int Spaced(int a);\n' >"$top/spaced.cpp"
"$bin" --settings "$settings" batch "$top/spaced.cpp" >/dev/null 2>&1
sed -i 's/^int Spaced(int a);$/\nint Spaced(int a, int b);/' "$top/spaced.cpp"
"$bin" --settings "$settings" batch "$top/spaced.cpp" --refresh --dry-run >"$top/dry" 2>/dev/null
check "--refresh: a block over a blank line is refreshed, not doubled" \
  test "$(cat "$top/dry")" = "$top/spaced.cpp:12: refresh function Spaced"

# One block per function and macro in a .c file, and the /* */ template sets for
# C89 code: each loads clean, writes its blocks byte for byte, and the result
# compiles as C89 with -pedantic where the // blocks do not.
c89=$here/syntax/c89 examples=$here/../../examples
for set in zh en; do
  ini=$examples/c89-settings.ini
  [ "$set" = en ] && ini=$examples/c89-settings-en.ini
  "$bin" settings --check "$ini" >"$top/out" 2>&1
  check "$set: the C89 settings file checks clean" test $? = 0 -a ! -s "$top/out"
  cp "$ini" "$top/c89.ini"
  cp "$c89/proto.c" "$top/proto.c"
  "$bin" --settings "$top/c89.ini" batch "$top/proto.c" >/dev/null 2>"$top/err"
  check "$set: C89 blocks written" cmp -s "$c89/expected/proto.$set.c" "$top/proto.c"
  check "$set: no // warning with /* */ templates" not_grep "warning" "$top/err"
  check "$set: the settings file is left as it was" cmp -s "$ini" "$top/c89.ini"
  cp "$top/proto.c" "$top/once.c"
  "$bin" --settings "$top/c89.ini" batch "$top/proto.c" >/dev/null 2>&1
  check "$set: a second run changes nothing" cmp -s "$top/once.c" "$top/proto.c"
  if command -v gcc >/dev/null; then
    check "$set: the blocks compile as C89" \
      gcc -std=c89 -pedantic -Werror -Wall -c "$top/proto.c" -o "$top/proto.o"
  else
    echo "SKIP $set: compiling as C89 (no gcc installed)"
  fi
done
cp "$c89/proto.c" "$top/proto.c"
cp "$c89/proto.c" "$top/other.c"
cp "$c89/proto.c" "$top/proto.h"
"$bin" --settings "$settings" batch "$top/proto.c" "$top/other.c" "$top/proto.h" --dry-run \
  >"$top/dry" 2>"$top/err"
check "the // warning, once per run" test "$(grep -c 'warning: these blocks put // comments into .c files' "$top/err")" = 1
check "the warning names the C89 settings file" grep -q "examples/c89-settings.ini" "$top/err"
check "a .c file: definitions, not prototypes; a macro at its first definition" \
  test "$(grep '/proto.c:' "$top/dry" | sed 's/.*proto.c://' | tr '\n' ';')" = \
  "8: macro with parameters UNUSED;13: struct range;15: function total;20: function clamp;25: function count;"
check "a header keeps its prototypes" grep -q "proto.h:4: function clamp" "$top/dry"
"$bin" --settings "$settings" batch "$top/proto.h" --dry-run >/dev/null 2>"$top/err"
check "no // warning without .c files" not_grep "warning" "$top/err"
"$bin" --settings "$settings" batch "$top/proto.c" >/dev/null 2>&1
if command -v gcc >/dev/null; then
  check "the // blocks do break C89" not gcc -std=c89 -pedantic -Werror -c "$top/proto.c" -o "$top/proto.o" 2>/dev/null
fi
# Blocks on a prototype and its definition, as earlier versions wrote them, stay.
"$bin" --settings "$settings" comment "$top/proto.c" --line 4 >/dev/null
cp "$top/proto.c" "$top/both.c"
"$bin" --settings "$settings" batch "$top/proto.c" >/dev/null 2>"$top/err"
check "blocks on both a prototype and its definition stay as they are" cmp -s "$top/both.c" "$top/proto.c"

echo "syntax: $fail failed"
[ "$fail" = 0 ]
