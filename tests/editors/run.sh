#!/usr/bin/env bash
# Runs the Vim plugin in real Vim and real Neovim on the files in data/ as
# cases.txt says: compares the file the editor writes after the command with
# expected/NAME-FIXTURE, the caret, a mark and a closed fold below the edit,
# the message shown, and the file after one :undo.
#   run.sh QUILLMARK CASEDIR [--update]   (--update rewrites expected/ from Vim's results)
set -u
bin=$(realpath "$1") dir=$(realpath "$2") update=${3:-}
plugin=$(realpath "$dir/../../editors/vim")
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT
# The project directory's name and the date are fixed, so the expected files
# hold the very bytes the editor writes.
work=$top/editors
mkdir "$work"
touch "$work/CMakeLists.txt"  # makes $work the project directory
export XDG_CONFIG_HOME=$work/config QUILLMARK_DATE=2002-09-17

# A settings file with a fixed author, so blocks do not depend on who runs this.
settings=$work/settings.ini
"$bin" --settings "$settings" settings --save "$settings" >/dev/null || exit 1
sed -i 's/^AuthorName=.*\r$/AuthorName=Author Name\r/' "$settings"


editors=()
command -v vim >/dev/null && editors+=(vim)
command -v nvim >/dev/null && editors+=(nvim)
[ ${#editors[@]} = 2 ] || echo "note: running only in: ${editors[*]}"

# run_editor EDITOR SCRIPT FILE: the editor, without any user configuration.
run_editor() {
  case $1 in
    vim) timeout 60 vim -Nu NONE -i NONE -n -Es -S "$2" </dev/null >/dev/null 2>&1 ;;
    nvim) timeout 60 nvim --headless -u NONE -i NONE -n -S "$2" </dev/null >/dev/null 2>&1 ;;
  esac
}

pass=0 fail=0 n=0
while IFS='|' read -r name fixture encoding action mark mark_after caret undo message; do
  case "$name" in '' | '#'*) continue ;; esac
  action=${action//<bar>/|}
  for editor in "${editors[@]}"; do
    n=$((n + 1))
    case_dir=$work/$n-$editor-$name
    mkdir -p "$case_dir"
    file=$case_dir/$fixture
    cp "$dir/data/$fixture" "$file"
    cat >"$case_dir/run.vim" <<EOF
set nocompatible
let &runtimepath = '$plugin,' . &runtimepath
runtime plugin/quillmark.vim
let g:quillmark_executable = '$bin'
let g:quillmark_settings = '$settings'
let g:quillmark_parser = 'keywords'
let g:result = []
try
  edit ++enc=$encoding $file
  execute 'normal! ${mark}Gma'
  " A closed fold over the mark's line (one line folds close with foldminlines=0).
  setlocal foldminlines=0
  ${mark}fold
  " A script's changes are one undo block unless something breaks it.
  let &undolevels = &undolevels
  execute "$action"
  call add(g:result, line('.') . ':' . (strchars(strpart(getline('.'), 0, col('.') - 1)) + 1))
  call add(g:result, line("'a") . ' ' . foldclosed(line("'a")))
  silent write! $case_dir/after
  silent undo
  call add(g:result, line("'a"))
  silent write! $case_dir/undone
  call add(g:result, join(split(execute('messages'), "\n"), ' '))
catch
  call add(g:result, 'error: ' . v:exception . ' at ' . v:throwpoint)
endtry
call writefile(g:result, '$case_dir/result')
qa!
EOF
    run_editor "$editor" "$case_dir/run.vim"
    problems=()
    if [ ! -f "$case_dir/result" ] || [ "$(wc -l <"$case_dir/result")" -lt 4 ]; then
      problems+=("the editor did not finish: $(cat "$case_dir/result" 2>/dev/null)")
    else
      mapfile -t got <"$case_dir/result"
      [ "${got[0]}" = "$caret" ] || problems+=("caret ${got[0]}, expected $caret")
      [ "${got[1]}" = "$mark_after $mark_after" ] ||
        problems+=("mark a and its fold on lines ${got[1]}, expected $mark_after")
      [ "${got[2]}" = "$mark" ] || problems+=("after :undo mark a on line ${got[2]}, expected $mark")
      if [ "$message" = - ]; then
        expected=$dir/expected/$name-$fixture
        if [ "$update" = --update ] && [ "$editor" = vim ]; then
          cp "$case_dir/after" "$expected"
        fi
        cmp -s "$expected" "$case_dir/after" ||
          problems+=("buffer differs: diff <(cat -A $expected) <(cat -A $case_dir/after)")
      else
        cmp -s "$dir/data/$fixture" "$case_dir/after" || problems+=("the buffer changed")
        grep -qF -- "$message" <<<"${got[3]}" || problems+=("message not shown: ${got[3]}")
      fi
      undone=$dir/data/$fixture
      if [ "$undo" != - ]; then
        undone=$dir/expected/$undo-$fixture
      fi
      cmp -s "$undone" "$case_dir/undone" ||
        problems+=("one :undo gives: diff <(cat -A $undone) <(cat -A $case_dir/undone)")
    fi
    if [ ${#problems[@]} = 0 ]; then
      pass=$((pass + 1))
    else
      fail=$((fail + 1))
      printf 'FAIL %s %s on %s\n' "$editor" "$name" "$fixture"
      printf '  %s\n' "${problems[@]}"
      trap - EXIT  # keep the files to look at
      echo "  files kept in $top"
    fi
  done
done <"$dir/cases.txt"

# :QuillmarkSettings and :QuillmarkAbout. Without a display the settings file
# opens in a split as text (a GBK file shows its Chinese), :write checks it and
# writes it back in its own encoding; with one, the dialog runs detached.
link=$(sed -n 's/.*kUrl\[\] = "\(.*\)";/\1/p' "$dir/../../ui/include/quillmark/ui/about.h")
fake=$top/fake-bin
mkdir -p "$fake"
# A dialog that stays open until the editor, having got control back, releases it.
printf '#!/bin/sh\nwhile [ ! -e "$RELEASE" ]; do sleep 0.1; done\necho "$*" >"$RELEASE.done"\n' \
  >"$fake/quillmark-dialogs"
chmod +x "$fake/quillmark-dialogs"
for editor in "${editors[@]}"; do
  case_dir=$work/settings-$editor
  mkdir -p "$case_dir"
  ini=$case_dir/s.ini
  { printf '; mine, kept\r\n\r\n'; cat "$settings"; } >"$ini"
  iconv -f CP936 -t UTF-8 "$ini" | sed 's/^AuthorName=.*\r$/AuthorName=李四\r/' | iconv -f UTF-8 -t CP936 \
    >"$case_dir/expected.ini"
  cat >"$case_dir/run.vim" <<EOF
set nocompatible
let &runtimepath = '$plugin,' . &runtimepath
runtime plugin/quillmark.vim
let g:quillmark_executable = '$bin'
let g:quillmark_settings = '$ini'
let g:result = []
try
  QuillmarkSettings
  call add(g:result, getline(1) . '|' . getline(3) . '|' . &fileformat)
  %s/^AuthorName=.*/AuthorName=李四/
  write
  call add(g:result, 'modified ' . &modified)
  call writefile(readfile('$ini', 'b'), '$case_dir/kept.ini', 'b')
  call append(3, '[broken')
  write
  call add(g:result, 'modified ' . &modified)
  write!
  call add(g:result, 'modified ' . &modified)
  QuillmarkAbout
  call add(g:result, join(split(execute('messages'), "\n"), ' / '))
  let \$DISPLAY = ':99'
  QuillmarkSettings
  call writefile([], '$case_dir/released')
  call add(g:result, 'returned')
catch
  call add(g:result, 'error: ' . v:exception . ' at ' . v:throwpoint)
endtry
call writefile(g:result, '$case_dir/result')
qa!
EOF
  (unset DISPLAY WAYLAND_DISPLAY; PATH=$fake:$PATH RELEASE=$case_dir/released run_editor "$editor" "$case_dir/run.vim")
  problems=()
  mapfile -t got <"$case_dir/result"
  [ "${got[0]:-}" = '; mine, kept|[类声明注释]|dos' ] || problems+=("the split shows: ${got[0]:-}")
  [ "${got[1]:-}" = 'modified 0' ] || problems+=(":write left the buffer ${got[1]:-}")
  cmp -s "$case_dir/kept.ini" "$case_dir/expected.ini" ||
    problems+=("the file after :write differs: diff <(cat -A $case_dir/expected.ini) <(cat -A $case_dir/kept.ini)")
  [ "${got[2]:-}" = 'modified 1' ] || problems+=("a file with a mistake was written by :write")
  [ "${got[3]:-}" = 'modified 0' ] || problems+=(":write! did not write")
  grep -qF -- "s.ini:4: warning: section header '[broken'" <<<"${got[4]:-}" ||
    problems+=("the check's warning is not in :messages: ${got[4]:-}")
  grep -qE -- "quillmark [0-9.]+ .*$link" <<<"${got[4]:-}" ||
    problems+=(":QuillmarkAbout did not leave version and link in :messages")
  [ "${got[5]:-}" = returned ] || problems+=("the dialog blocked the editor: ${got[5]:-}")
  for _ in $(seq 50); do [ -e "$case_dir/released.done" ] && break; sleep 0.1; done
  grep -qx -- "--settings $ini settings" "$case_dir/released.done" 2>/dev/null ||
    problems+=("the dialog was not started with the settings file")
  if [ ${#problems[@]} = 0 ]; then
    pass=$((pass + 1))
  else
    fail=$((fail + 1))
    printf 'FAIL %s settings\n' "$editor"
    printf '  %s\n' "${problems[@]}"
    trap - EXIT
    echo "  files kept in $top"
  fi
done
echo "editors: $pass passed, $fail failed"

[ "$fail" = 0 ]
