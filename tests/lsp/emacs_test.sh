#!/usr/bin/env bash
# Real Emacs and eglot through `quillmark lsp --with CHILD`, the child the
# scripted server and, where installed, clangd: M-x eglot-code-actions on the
# keyword "class" of a class head offers "comment class CShape" beside the
# child's actions, the applied buffer equals what `quillmark comment --line`
# writes, the child answers completion, and the server ends with status 0
# after shutdown and exit.
#   emacs_test.sh QUILLMARK      (exit status 77: skipped, Emacs or eglot missing)
set -u
quillmark=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
if ! command -v emacs >/dev/null; then
  echo "SKIP: emacs is not installed (scripts/install-deps.sh installs emacs-nox and elpa-eglot)"
  exit 77
fi
if ! emacs -q --batch --eval "(require 'eglot)" >/dev/null 2>&1; then
  echo "SKIP: eglot is not installed (scripts/install-deps.sh installs elpa-eglot)"
  exit 77
fi
work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
# One date for the server and the command line, even across midnight; no user's init file.
export QUILLMARK_DATE=2026-03-14 HOME=$work XDG_CONFIG_HOME=$work/config
mkdir -p "$work/project" && touch "$work/project/CMakeLists.txt"
settings=$work/settings.ini
line=6  # the class head, behind a block comment, in a file with Chinese and emoji text
children=("python3 $here/child_server.py")
if command -v clangd >/dev/null; then
  children+=(clangd)
else
  echo "clangd not installed: the scripted child only"
fi
pass=0 fail=0
for child in "${children[@]}"; do
  name=${child%% *}
  file=$work/project/shapes.cpp
  { cat "$here/data/shapes.cpp"; echo 'double Square(double r) { return SQUARE(r); }'; } >"$file"
  expected=$work/expected.cpp
  "$quillmark" --settings "$settings" comment "$file" --line $line --output "$expected" >/dev/null
  result=$work/result_$name.txt
  (cd "$work/project" && QM_SERVER=$quillmark QM_SETTINGS=$settings QM_RESULT=$result \
    QM_CHILD=$child QM_FILE=$file QM_LINE=$line QM_WORD=class QM_ALSO="return SQUARE" \
    timeout 120 emacs -q --batch -l "$here/emacs_e2e.el" </dev/null >"$work/emacs_$name.log" 2>&1)
  has() { grep -qx -- "$1" "$result" 2>/dev/null; }
  problems=()
  has 'status ok' || problems+=("emacs run: $(cat "$result" "$work/emacs_$name.log" 2>/dev/null | tail -20)")
  has 'action Quillmark: comment class CShape' ||
    problems+=("on the word 'class': no 'comment class CShape' action")
  cmp -s "$file" "$expected" || problems+=("buffer differs: $(diff "$expected" "$file" | head -20)")
  grep -qE '^completion-count [1-9]' "$result" 2>/dev/null || problems+=("no completion from $name")
  [ "$name" = clangd ] || has 'completion-label child_completion' || problems+=("not the child's completion")
  grep -q '^also-action Quillmark: comment function Square$' "$result" 2>/dev/null &&
    grep '^also-action ' "$result" | grep -qv 'Quillmark: ' ||
    problems+=("not both servers' actions: $(grep also-action "$result")")
  has 'exit-status 0' || problems+=("after shutdown and exit: $(grep exit-status "$result")")
  if [ ${#problems[@]} = 0 ]; then
    pass=$((pass + 1))
  else
    fail=$((fail + 1))
    printf 'FAIL (%s): %s\n' "$name" "${problems[@]}"
  fi
done
echo "$pass passed, $fail failed"
[ $fail = 0 ]
