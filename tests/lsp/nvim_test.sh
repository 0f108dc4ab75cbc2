#!/usr/bin/env bash
# Real Neovim against the language server: code actions on a class head, the
# comment action applied; the whole buffer and the caret must equal what
# `quillmark comment` writes and prints for the same file and line. The
# window/showDocument handler is the README's, for Neovim 0.7.
# Then a stale block: its diagnostic appears, its quick fix makes the buffer
# what `quillmark refresh` writes, and the diagnostic goes away.
#   nvim_test.sh QUILLMARK      (the server is `QUILLMARK lsp`)
set -u
quillmark=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
if ! command -v nvim >/dev/null; then
  echo "nvim not installed (scripts/install-deps.sh installs it)"
  exit 1
fi
work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
# One date for the server and the command line, even across midnight.
export QUILLMARK_DATE=2026-03-14
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_STATE_HOME=$work/state
mkdir -p "$work/project" && touch "$work/project/CMakeLists.txt"
settings=$work/settings.ini
line=6  # the class head, behind a block comment, in a file with Chinese and emoji text
pass=0 fail=0
for breaks in lf crlf; do
  file=$work/project/shapes_$breaks.cpp
  if [ $breaks = crlf ]; then sed 's/$/\r/' "$here/data/shapes.cpp" >"$file"; else cp "$here/data/shapes.cpp" "$file"; fi
  expected=$work/expected_$breaks.cpp
  caret=$("$quillmark" --settings "$settings" comment "$file" --line $line --output "$expected")
  caret=${caret##*"$expected":}
  result=$work/result_$breaks.txt
  (cd "$work/project" && QM_SERVER=$quillmark QM_SETTINGS=$settings QM_RESULT=$result \
    QM_README=$here/../../README.md \
    timeout 60 nvim --headless --clean -n "+$line" "+luafile $here/nvim_e2e.lua" "$file" \
    </dev/null >"$work/nvim.log" 2>&1)
  problems=()
  grep -qx 'status ok' "$result" 2>/dev/null || problems+=("neovim run: $(cat "$result" "$work/nvim.log" 2>/dev/null)")
  grep -qx 'action Quillmark: comment class CShape' "$result" 2>/dev/null ||
    problems+=("no 'comment class CShape' action")
  cmp -s "$file" "$expected" || problems+=("buffer differs: $(diff "$expected" "$file" | head -20)")
  grep -qx "caret $caret" "$result" 2>/dev/null ||
    problems+=("caret: expected $caret, got $(grep caret "$result")")
  grep -qx "cursor-line ${caret%%:*}" "$result" 2>/dev/null || problems+=("cursor line")
  if [ ${#problems[@]} = 0 ]; then
    pass=$((pass + 1))
  else
    fail=$((fail + 1))
    printf 'FAIL (%s): %s\n' $breaks "${problems[@]}"
  fi
done
line=15  # the declaration of a class that got a second base class
for breaks in lf crlf; do
  file=$work/project/stale_$breaks.cpp
  cp "$here/../editors/data/stale_$breaks.$([ $breaks = lf ] && echo h || echo cpp)" "$file"
  expected=$work/expected_stale_$breaks.cpp
  "$quillmark" --settings "$settings" refresh "$file" --line $line --output "$expected" >/dev/null
  result=$work/result_stale_$breaks.txt
  (cd "$work/project" && QM_SERVER=$quillmark QM_SETTINGS=$settings QM_RESULT=$result QM_MODE=refresh \
    QM_README=$here/../../README.md \
    timeout 60 nvim --headless --clean -n "+$line" "+luafile $here/nvim_e2e.lua" "$file" \
    </dev/null >"$work/nvim.log" 2>&1)
  problems=()
  grep -qx 'status ok' "$result" 2>/dev/null || problems+=("neovim run: $(cat "$result" "$work/nvim.log" 2>/dev/null)")
  grep -qx 'diagnostic quillmark 2 6' "$result" 2>/dev/null ||
    problems+=("no warning on the base class line: $(grep diagnostic "$result")")
  grep -qx 'action Quillmark: refresh comment of CShape' "$result" 2>/dev/null ||
    problems+=("no 'refresh comment of CShape' quick fix")
  cmp -s "$file" "$expected" || problems+=("buffer differs: $(diff "$expected" "$file" | head -20)")
  if [ ${#problems[@]} = 0 ]; then
    pass=$((pass + 1))
  else
    fail=$((fail + 1))
    printf 'FAIL (stale, %s): %s\n' $breaks "${problems[@]}"
  fi
done
echo "$pass passed, $fail failed"
[ $fail = 0 ]
