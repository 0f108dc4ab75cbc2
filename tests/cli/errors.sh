#!/usr/bin/env bash
# Exit statuses and messages of the command line, and the settings commands.
set -u
bin=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config
cd "$work" || exit 1
pass=0 fail=0

# expect NAME STATUS PATTERN -- COMMAND...: runs the command, checks its exit
# status and that stdout+stderr match the pattern (grep -E).
expect() {
  local name=$1 status=$2 pattern=$3
  shift 4
  local output got
  output=$("$@" 2>&1)
  got=$?
  if [ "$got" = "$status" ] && grep -qE -- "$pattern" <<<"$output"; then
    pass=$((pass + 1))
  else
    fail=$((fail + 1))
    printf 'FAIL %s: exit %s (expected %s)\n%s\n' "$name" "$got" "$status" "$output"
  fi
}
same() { # NAME FILE1 FILE2
  if cmp -s "$2" "$3"; then pass=$((pass + 1)); else fail=$((fail + 1)); echo "FAIL $1: $2 differs from $3"; fi
}

printf '// demo\nint f(int a);\nint x;\n' >f.c
cp f.c f.orig
printf 'int\0f();\n' >bin.c
printf 'int f(\xff\xfe);\n' >latin.c

expect help 0 'comment' -- "$bin" --help
expect version 0 '^quillmark 1\.5\.0\.1$' -- "$bin" --version
expect no_subcommand 2 'subcommand' -- "$bin"
expect missing_file 2 'cannot read nope\.c: no such file' -- "$bin" comment nope.c --line 1
expect directory 2 'is a directory' -- "$bin" comment . --line 1
expect binary 2 'not a text file' -- "$bin" comment bin.c --line 1
expect not_utf8 2 'not valid UTF-8' -- "$bin" comment latin.c --line 1 --encoding utf-8
expect no_selection 2 'one of --line, --lines, --select' -- "$bin" comment f.c
expect two_selections 2 'excludes' -- "$bin" comment f.c --line 1 --lines 1-2
expect line_outside 2 'line 9 is outside the document \(it has 4 lines\)' -- "$bin" comment f.c --line 9
expect lines_backwards 2 'first line comes after the last' -- "$bin" comment f.c --lines 2-1
expect column_outside 2 'column 40 is outside line 1' -- "$bin" comment f.c --select 1:1-1:40
expect bad_select 2 'L1:C1-L2:C2' -- "$bin" comment f.c --select 1-2
expect bad_encoding 2 'encoding' -- "$bin" comment f.c --line 1 --encoding latin1
expect verbose_nothing 3 'no declaration quillmark recognises' -- "$bin" -v comment f.c --line 3
expect output_unwritable 2 'cannot write' -- "$bin" comment f.c --line 2 --output /nonexistent/dir/x.c
# An empty path is a usage error, never "no option": --output '' rewrote FILE.
for option in --output --assume-filename; do
  expect "empty$option" 2 "$option: an empty path is not allowed" -- "$bin" comment f.c --line 2 "$option" ''
done
expect empty_output_header 2 '--output: an empty path is not allowed' -- "$bin" header f.c --output ''
expect empty_output_delete 2 '--output: an empty path is not allowed' -- "$bin" delete f.c --line 2 --output ''
expect empty_settings 2 '--settings: an empty path is not allowed' -- "$bin" --settings '' comment f.c --line 2
expect empty_load 2 '--load: an empty path is not allowed' -- "$bin" settings --load ''
expect empty_save 2 '--save: an empty path is not allowed' -- "$bin" settings --save ''
same untouched_after_errors f.c f.orig
expect gbk_forced 0 '^g\.c:4:11$' -- "$bin" comment f.c --line 2 --encoding gbk --output g.c

# Settings: the default file lives under $XDG_CONFIG_HOME and is created on first use.
expect settings_path 0 "^$work/config/quillmark/Comment_$(id -un)\.ini$" -- "$bin" settings --path
expect settings_bare 0 'not built into this command line' -- env QUILLMARK_DIALOGS=/nonexistent "$bin" settings
expect about_without_dialogs 2 'dialogs are not installed' -- env QUILLMARK_DIALOGS=/nonexistent "$bin" about
# With the dialogs program but no display: it says so.
printf '#!/bin/sh\necho "dialogs $*" >&2; exit 2\n' >fake-dialogs && chmod +x fake-dialogs
expect settings_dialog 2 '^dialogs settings --settings x\.ini$' -- env QUILLMARK_DIALOGS=$work/fake-dialogs "$bin" --settings x.ini settings
expect about_dialog 2 '^dialogs about$' -- env QUILLMARK_DIALOGS=$work/fake-dialogs "$bin" about
"$bin" header f.c --output h.c >/dev/null
profile=$work/config/quillmark/Comment_$(id -un).ini
[ -s "$profile" ] && pass=$((pass + 1)) || { fail=$((fail + 1)); echo "FAIL first run did not create $profile"; }
expect save_adds_ini 0 '^saved\.ini$' -- "$bin" settings --save saved
expect save_keeps_ini 0 'mine\.INI$' -- "$bin" settings --save mine.INI
expect save_fails 1 '保存配置文件失败!' -- "$bin" settings --save /nonexistent/dir/x
expect load_fails 1 '加载文件失败!,恢复原来设置' -- "$bin" settings --load missing.ini

# A template edited in the settings file changes the next block.
printf '[普通函数注释]\r\nCommentLineCount=2\r\nLine0=// fn: %%Function%%\r\nLine1=// ret %%ReturnValue%%%%CaretPos%%\r\n' |
  iconv -f UTF-8 -t CP936 >edited.ini
cp f.orig f.c
expect edited_template 0 '^f\.c:3:11$' -- "$bin" --settings edited.ini comment f.c --line 2
printf '// demo\n// fn: f\n// ret int\nint f(int a);\nint x;\n' >f.expected
same edited_template_output f.c f.expected
# Loading it makes it the user's default.
expect load_ok 0 '' -- "$bin" settings --load edited.ini
cp f.orig f.c
expect loaded_template 0 '^f\.c:3:11$' -- "$bin" comment f.c --line 2
same loaded_template_output f.c f.expected

# Settings that cannot be read stop the command and stay as they were.
printf 'AuthorName=\x81\x20\r\n' >broken.ini
cp broken.ini broken.orig
expect broken_settings 2 'cannot read settings file' -- "$bin" --settings broken.ini comment f.c --line 2
same broken_settings_untouched broken.ini broken.orig
same broken_settings_file_untouched f.c f.expected

echo "errors: $pass passed, $fail failed"
[ "$fail" = 0 ]
