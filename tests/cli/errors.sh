#!/usr/bin/env bash
# Exit statuses and messages of the command line, and the settings commands.
set -u
bin=$1
readme=$(cd "$(dirname "$0")/../.." && pwd)/README.md
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
expect nothing_says_why 3 '^quillmark: the selection holds no declaration quillmark recognises' -- "$bin" comment f.c --line 3
printf '\n\nint x;\n' >blank.c
expect message_in_english 1 '^请选中要加注释的类，或函数声明!
quillmark: Nothing is selected: select the class or function declaration' -- "$bin" comment blank.c --line 1
expect unknown_command 2 "^quillmark: unknown command 'coment' \(did you mean 'comment'\?\)" -- "$bin" coment f.c --line 1
expect unknown_option 2 "^quillmark: unknown option '--lien' for comment \(did you mean '--line'\?\)" -- "$bin" comment f.c --lien 10
expect unknown_global_option 2 "^quillmark: unknown option '--setings' \(did you mean '--settings'\?\)" -- "$bin" --setings x.ini comment f.c --line 1
expect unknown_far_command 2 "^quillmark: unknown command 'frobnicate'$" -- "$bin" frobnicate
expect output_unwritable 2 'cannot write' -- "$bin" comment f.c --line 2 --output /nonexistent/dir/x.c
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
expect load_fails_names_file 1 '^加载文件失败!,恢复原来设置
quillmark: cannot load settings from missing\.ini: no such file; the previous settings are kept$' -- "$bin" settings --load missing.ini
expect save_fails_english 1 '^保存配置文件失败!
quillmark: Saving the settings file failed' -- "$bin" settings --save /nonexistent/dir/x

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

# settings --check: the compilers' format, exit 0 clean, 1 warnings, 2 unreadable;
# a command using such settings names the first mistake and still runs.
printf '[普通函数注释\r\nCommentLineCount=1\r\nLine0=// %%Autor%%\r\n[用户信息]\r\nAuthorNme=A\r\n' |
  iconv -f UTF-8 -t CP936 >mistakes.ini
expect check_clean 0 '^$' -- "$bin" --settings saved.ini settings --check
expect check_after_load 0 '^$' -- "$bin" settings --check
expect check_default_file 0 '^$' -- "$bin" --settings edited.ini settings --check
expect check_warnings 1 '^mistakes\.ini:1: warning: section header .* does not end in' -- "$bin" settings --check mistakes.ini
expect check_nearest 1 "^mistakes\.ini:5: warning: unknown key 'AuthorNme' in \[用户信息\]; did you mean 'AuthorName'\?$" -- "$bin" settings --check mistakes.ini
expect check_unreadable 2 'cannot read' -- "$bin" settings --check missing.ini
expect check_undecodable 2 'cannot be read' -- "$bin" settings --check broken.ini
cp f.orig f.c
expect first_mistake_once 3 '^mistakes\.ini:1: warning: .*
quillmark: and 1 more; `quillmark settings --check mistakes\.ini` lists them all' -- "$bin" --settings mistakes.ini comment f.c --line 2
expect verbose_all_mistakes 3 'mistakes\.ini:5: warning' -- "$bin" -v --settings mistakes.ini comment f.c --line 2
same mistakes_leave_file_untouched f.c f.orig

# settings --edit: a UTF-8 copy in $EDITOR, checked, written back in its own
# encoding (GBK here) only when it changed and the check passed or was overridden.
mkdir -p tmp && export TMPDIR=$work/tmp
"$bin" --settings edit.ini settings --save edit.ini >/dev/null
cp edit.ini edit.orig
printf '#!/bin/sh\nsed -i "s/^AuthorName=.*\\r$/AuthorName=李四\\r/" "$1"\n' >ed-change && chmod +x ed-change
printf '#!/bin/sh\nprintf "[broken\\r\\n" >>"$1"\n' >ed-break && chmod +x ed-break
# Breaks the file the first time, mends it the second.
printf '#!/bin/sh\nif [ -e ed-once ]; then sed -i "s/^\\[broken/[Quillmark]/" "$1"; else touch ed-once; printf "[broken\\r\\n" >>"$1"; fi\n' >ed-twice && chmod +x ed-twice
expect edit_unchanged 0 'no changes' -- env EDITOR=true "$bin" --settings edit.ini settings --edit
same edit_unchanged_file edit.ini edit.orig
expect edit_editor_fails 2 'exited with status 1; the settings file is unchanged' -- env EDITOR=false "$bin" --settings edit.ini settings --edit
expect edit_broken_kept 1 "edit\.ini:160: warning: section header '\[broken'.*
.*kept the old edit\.ini" -- sh -c 'echo k | EDITOR=./ed-break "$0" --settings edit.ini settings --edit' "$bin"
expect edit_broken_no_answer 1 'kept the old' -- sh -c 'EDITOR=./ed-break "$0" --settings edit.ini settings --edit </dev/null' "$bin"
same edit_broken_file_kept edit.ini edit.orig
expect edit_again 0 'wrote edit\.ini' -- sh -c 'echo e | EDITOR=./ed-twice "$0" --settings edit.ini settings --edit' "$bin"
expect edit_again_result 0 '^$' -- "$bin" settings --check edit.ini
expect edit_changes_value 0 'wrote edit\.ini' -- env VISUAL=./ed-change EDITOR=false "$bin" --settings edit.ini settings --edit
iconv -f CP936 -t UTF-8 edit.ini | grep -q $'^AuthorName=李四\r$' && pass=$((pass + 1)) || { fail=$((fail + 1)); echo "FAIL edit_written_in_gbk"; }
[ -z "$(ls tmp)" ] && pass=$((pass + 1)) || { fail=$((fail + 1)); echo "FAIL edit left temporary files: $(ls tmp)"; }
# Edits that cannot be written are kept: the file changed meanwhile (the editor
# itself changes it, so the window is always open), or the editor failed.
cp edit.ini edit.orig
printf '#!/bin/sh\nsed -i "s/^AuthorName=.*\\r$/AuthorName=Race\\r/" "$1"\nprintf "; theirs\\r\\n" >>edit.ini\n' >ed-race && chmod +x ed-race
expect edit_race_refused 2 'edit\.ini changed while it was being edited.*your edits are kept in' -- env EDITOR=./ed-race "$bin" --settings edit.ini settings --edit
grep -q '; theirs' edit.ini && ! grep -q 'AuthorName=Race' edit.ini && pass=$((pass + 1)) || { fail=$((fail + 1)); echo "FAIL edit_race: the other writer's file was replaced"; }
grep -q 'AuthorName=Race' tmp/* && pass=$((pass + 1)) || { fail=$((fail + 1)); echo "FAIL edit_race: the edits were not kept"; }
rm -f tmp/*
printf '#!/bin/sh\nsed -i "s/^AuthorName=.*\\r$/AuthorName=Quit\\r/" "$1"; exit 1\n' >ed-quit && chmod +x ed-quit
expect edit_editor_fails_kept 2 'exited with status 1 \(your edits are kept in' -- env EDITOR=./ed-quit "$bin" --settings edit.ini settings --edit
grep -q 'AuthorName=Quit' tmp/* && pass=$((pass + 1)) || { fail=$((fail + 1)); echo "FAIL edit_quit: the edits were not kept"; }

# The README's worked example of English templates gives the blocks it shows.
awk '/^### A worked example/ { on = 1 } on && /^```ini/ { copy = 1; next } copy && /^```/ { exit } copy' \
  "$readme" >english.ini
awk '/^### A worked example/ { on = 1 } on && /^```cpp/ { copy = 1; next } copy && /^```/ { exit } copy' \
  "$readme" >english.expected
printf '#include "shape.h"\n\nclass CCircle : public CShape\n{\n};\n\nint Area(int width, int height);\n' >english.cpp
expect readme_example_clean 0 '^$' -- "$bin" settings --check english.ini
QUILLMARK_DATE=2024-05-01 "$bin" --settings english.ini comment english.cpp --line 7 >/dev/null
QUILLMARK_DATE=2024-05-01 "$bin" --settings english.ini comment english.cpp --line 3 >/dev/null
same readme_example_blocks english.cpp english.expected

echo "errors: $pass passed, $fail failed"
[ "$fail" = 0 ]
