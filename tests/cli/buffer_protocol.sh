#!/usr/bin/env bash
# The buffer protocol end to end: the buffer on standard input; the JSON line
# and the whole resulting buffer on standard output, for every exit status.
# Results that change the buffer are the golden files of the file commands.
#   buffer_protocol.sh QUILLMARK CASEDIR
set -u
bin=$(realpath "$1") dir=$(realpath "$2")
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT
# The golden files' project directory is named "golden"; their date is fixed.
work=$top/golden
mkdir "$work"
export XDG_CONFIG_HOME=$work/config QUILLMARK_DATE=2002-09-17
cd "$work" || exit 1
pass=0 fail=0

settings=$work/settings.ini
"$bin" --settings "$settings" settings --save "$settings" >/dev/null || exit 1
sed -i 's/^AuthorName=.*\r$/AuthorName=Author Name\r/' "$settings"
mkdir src && touch CMakeLists.txt

# [STDERR=TEXT] [SETTINGS=FILE] check NAME STATUS HEADER EXPECTED INPUT -- ARGS...
#   Runs `quillmark --settings FILE ARGS` with INPUT on standard input. The
#   first output line must be HEADER exactly ("-": there is no header line),
#   the rest the bytes of EXPECTED ("=" for INPUT unchanged, "" for nothing,
#   else a golden file of the file commands), standard error TEXT when given.
#   The system's own behaviour is the keyword mode's, asked for outright
#   unless the case names its parser.
check() {
  local name=$1 status=$2 header=$3 expected=$4 input=$5
  shift 6
  local out=$work/$name.out err=$work/$name.err got problems=()
  local parser=(--parser keywords)
  [[ " $* " == *" --parser "* ]] && parser=()
  "$bin" "${parser[@]}" --settings "${SETTINGS:-$settings}" "$@" <"$input" >"$out" 2>"$err"
  got=$?
  [ "$got" = "$status" ] || problems+=("exit status $got, expected $status: $(cat "$err")")
  if [ "$header" != - ]; then
    local first
    first=$(head -n 1 "$out")
    [ "$first" = "$header" ] || problems+=("header $first" "expected $header")
    tail -n +2 "$out" >"$out.buffer"
  else
    cp "$out" "$out.buffer"
  fi
  case $expected in
    =) cp "$input" "$work/$name.expected" ;;
    '') : >"$work/$name.expected" ;;
    *) cp "$dir/expected/$expected" "$work/$name.expected" ;;
  esac
  cmp -s "$work/$name.expected" "$out.buffer" ||
    problems+=("buffer differs: diff <(cat -A $work/$name.expected) <(cat -A $out.buffer)")
  if [ -n "${STDERR+x}" ] && [ "$(cat "$err")" != "$STDERR" ]; then
    problems+=("standard error '$(cat "$err")', expected '$STDERR'")
  fi
  if [ ${#problems[@]} = 0 ]; then
    pass=$((pass + 1))
  else
    fail=$((fail + 1))
    printf 'FAIL %s\n' "$name"
    printf '  %s\n' "${problems[@]}"
    trap - EXIT
  fi
}

data=$dir/data
nothing='the selection holds no declaration quillmark recognises (class, struct, union, enum, function, macro or interface); nothing done'
printf 'int\0f();\n' >nul.c
printf 'int f(\xff\xfe);\n' >latin.c
: >empty.c

# 0: done. The buffer is what the file commands write.
check class_utf8 0 '{"status":0,"changed":true,"line":8,"column":13,"kind":"class","message":""}' \
  class_utf8_lf "$data/view.h" -- comment - --assume-filename src/view.h --line 4 --format json
check class_gbk_crlf 0 '{"status":0,"changed":true,"line":8,"column":13,"kind":"class","message":""}' \
  class_gbk_crlf "$data/view_gbk_crlf.h" -- comment - --assume-filename view_gbk_crlf.h --lines 4-4 --format json
check bytes_utf8 0 '{"status":0,"changed":true,"line":8,"column":17,"kind":"class","message":""}' \
  class_utf8_lf "$data/view.h" -- comment - --assume-filename view.h --line 4 --format json --columns bytes
check bytes_gbk 0 '{"status":0,"changed":true,"line":9,"column":15,"kind":"function","message":""}' \
  member_in_class_gbk "$data/view_gbk_crlf.h" -- comment - --assume-filename view_gbk_crlf.h --select 7:5-7:39 --format json --columns bytes
check bom_crlf 0 '{"status":0,"changed":true,"line":6,"column":11,"kind":"function","message":""}' \
  function_bom_crlf "$data/winproc_bom_crlf.cpp" -- comment - --assume-filename winproc_bom_crlf.cpp --lines 4-5 --format json
check mixed_breaks 0 '{"status":0,"changed":true,"line":5,"column":11,"kind":"member_function","message":""}' \
  member_mixed_breaks "$data/mixed.cpp" -- comment - --assume-filename mixed.cpp --select 2:1-2:29 --format json
check macro_gbk 0 '{"status":0,"changed":true,"line":6,"column":13,"kind":"macro_with_params","message":""}' \
  macro_params_gbk "$data/macros_gbk.h" -- comment - --assume-filename macros_gbk.h --line 4 --format json
check header_gbk 0 '{"status":0,"changed":true,"line":3,"column":10,"kind":"file_header","message":""}' \
  header_gbk_crlf "$data/view_gbk_crlf.h" -- header - --assume-filename view_gbk_crlf.h --format json
check delete_mark 0 '{"status":0,"changed":true,"line":4,"column":19,"kind":"delete","message":""}' \
  delete_mark "$data/lines.c" -- delete - --select 1:1-4:7 --format json
STDERR='8:13' check plain_caret 0 - class_utf8_lf "$data/view.h" -- \
  comment - --assume-filename view.h --line 4
check refresh_member 0 '{"status":0,"changed":true,"line":31,"column":21,"kind":"member_function","message":""}' \
  refresh_member "$data/shapes_stale.cpp" -- --parser keywords refresh - --assume-filename shapes_stale.cpp --line 32 --format json

# 1: the command showed its message; the buffer comes back unchanged.
check empty_line 1 '{"status":1,"changed":false,"line":null,"column":null,"kind":null,"message":"请选中要加注释的类，或函数声明!"}' \
  = "$data/lines.c" -- comment - --line 2 --format json
check parse_failure 1 '{"status":1,"changed":false,"line":null,"column":null,"kind":"macro_with_params","message":"请重新检查声明，可能存在语法错误"}' \
  = "$data/macros_gbk.h" -- comment - --line 6 --format json
check delete_empty 1 '{"status":1,"changed":false,"line":null,"column":null,"kind":"delete","message":"请选中要删除/反删除的文本!"}' \
  = "$data/lines.c" -- delete - --select 2:1-2:1 --format json
check empty_buffer 1 '{"status":1,"changed":false,"line":null,"column":null,"kind":null,"message":"请选中要加注释的类，或函数声明!"}' \
  = empty.c -- comment - --line 1 --format json
STDERR='请选中要加注释的类，或函数声明!' check plain_message 1 - = "$data/lines.c" -- comment - --line 2

# 2: errors; the buffer comes back unchanged when it was read whole.
check line_outside 2 '{"status":2,"changed":false,"line":null,"column":null,"kind":null,"message":"line 9 is outside the buffer (it has 5 lines)"}' \
  = "$data/lines.c" -- comment - --line 9 --format json
check inside_char 2 '{"status":2,"changed":false,"line":null,"column":null,"kind":null,"message":"column 5 is outside line 3 or inside a character"}' \
  = "$data/view.h" -- comment - --select 3:5-3:6 --format json --columns bytes
check not_utf8 2 '{"status":2,"changed":false,"line":null,"column":null,"kind":null,"message":"the buffer is not valid UTF-8 (try --encoding gbk)"}' \
  = latin.c -- comment - --line 1 --format json --encoding utf-8
check nul_bytes 2 '{"status":2,"changed":false,"line":null,"column":null,"kind":null,"message":"the buffer is not text (it holds NUL bytes)"}' \
  = nul.c -- comment - --line 1 --format json
STDERR='quillmark: line 9 is outside the buffer (it has 5 lines)' check plain_error 2 - = "$data/lines.c" -- \
  comment - --line 9
mkdir 'we"ird'  # a settings "file" that cannot be read; its name shows the escaping
SETTINGS='we"ird' check settings_unreadable 2 '{"status":2,"changed":false,"line":null,"column":null,"kind":null,"message":"cannot read settings file we\"ird is a directory, not a regular file"}' \
  = "$data/plain.c" -- comment - --line 1 --format json
# Usage errors are found before the buffer is read: nothing on standard output.
check bad_columns 2 - '' "$data/lines.c" -- comment - --line 1 --format json --columns words
check output_with_buffer 2 - '' "$data/lines.c" -- comment - --line 1 --output x.c
check json_with_file 2 - '' "$data/lines.c" -- comment "$data/lines.c" --line 1 --format json

# 3: nothing recognised.
check nothing 3 "{\"status\":3,\"changed\":false,\"line\":null,\"column\":null,\"kind\":null,\"message\":\"$nothing\"}" \
  = "$data/plain.c" -- comment - --line 1 --format json
printf '[普通函数注释]\r\nCommentLineCount=0\r\n' >empty.ini
printf 'int f(int a);\n' >f.c
SETTINGS=empty.ini check empty_template 3 '{"status":3,"changed":false,"line":null,"column":null,"kind":"function","message":"the selection is a function, but its template in empty.ini is empty; nothing inserted"}' \
  = f.c -- comment - --line 1 --format json
STDERR='' check plain_nothing 3 - = "$data/plain.c" -- comment - --line 1
STDERR="quillmark: $nothing" check plain_nothing_verbose 3 - = "$data/plain.c" -- --verbose comment - --line 1
check refresh_current 3 '{"status":3,"changed":false,"line":null,"column":null,"kind":"member_function","message":"the comment is current; nothing changed"}' \
  = "$dir/expected/refresh_member" -- --parser keywords refresh - --line 33 --format json
STDERR='' check refresh_current_quiet 3 - = "$dir/expected/refresh_member" -- --parser keywords refresh - --line 33
STDERR='quillmark: there is no comment above the declaration; nothing changed' \
  check refresh_no_block_verbose 3 - = f.c -- --verbose --parser keywords refresh - --line 1

# A mistake in the settings: named on standard error with --format json, never
# in text form, whose standard error is the caret or the message alone.
printf '[普通函数注释]\r\nCommentLineCount=0\r\nAuthorNme=x\r\n' >mistake.ini
SETTINGS=mistake.ini STDERR='' check settings_mistake_text 3 - = f.c -- comment - --line 1
SETTINGS=mistake.ini STDERR="mistake.ini:3: warning: unknown key 'AuthorNme' in [普通函数注释]; it belongs in [用户信息]" \
  check settings_mistake_json 3 '{"status":3,"changed":false,"line":null,"column":null,"kind":"function","message":"the selection is a function, but its template in mistake.ini is empty; nothing inserted"}' \
  = f.c -- comment - --line 1 --format json

echo "buffer protocol: $pass passed, $fail failed"
[ "$fail" = 0 ]
