#!/usr/bin/env bash
# Builds the Debian package, installs it on this machine with dpkg -i, checks
# that the program, its man page, its bash completion and the Vim help work
# as a new user would meet them, and removes the package again.
#   scripts/test-package.sh [BUILD_DIR]     (default build-package)
# Needs root or sudo. Refuses to replace a quillmark package installed before.
set -eu -o pipefail
cd "$(dirname "$0")/.."
build=${1:-build-package}
sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo

if dpkg-query -W -f='${Status}' quillmark 2>/dev/null | grep -q 'install ok installed'; then
  echo "test-package: a quillmark package is installed already; remove it first" >&2
  exit 1
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMARK_BUILD_TESTS=OFF \
  -DQUILLMARK_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
rm -f "$build"/quillmark_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/quillmark_*.deb)
echo "package: $deb"
dpkg-deb -f "$deb" Package Version Depends Suggests

pass=0 fail=0
check() { # NAME COMMAND...: the command must succeed
  local name=$1
  shift
  if "$@"; then
    pass=$((pass + 1))
  else
    fail=$((fail + 1))
    echo "FAIL package: $name"
  fi
}

# The dependencies cpack worked out from the binary, not written by hand.
depends_on_libc() { dpkg-deb -f "$deb" Depends | grep -q 'libc6 (>='; }
check depends depends_on_libc

$sudo dpkg -i "$deb" >/dev/null
# Whatever happens below, the machine is left as it was.
trap '$sudo dpkg -r quillmark >/dev/null' EXIT

home=$(mktemp -d)
trap '$sudo dpkg -r quillmark >/dev/null; rm -rf "$home"' EXIT
export HOME=$home XDG_CONFIG_HOME=$home/.config

version_is() { [ "$(/usr/bin/quillmark --version)" = "quillmark $(dpkg-deb -f "$deb" Version)" ]; }
check version version_is

# The dialogs come along when Qt was found, and `quillmark about` finds them.
about_runs_dialogs() {
  [ -x /usr/bin/quillmark-dialogs ] || return 0
  local said
  said=$(env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/quillmark about 2>&1)
  grep -q 'no display' <<<"$said"
}
check dialogs about_runs_dialogs

man_page() { MANWIDTH=80 man quillmark 2>/dev/null | grep -q 'BUFFER PROTOCOL'; }
check man man_page

completion() {
  [ -f /usr/share/bash-completion/bash_completion ] || {
    echo "  (bash-completion is not installed; completion not tried)"
    return 0
  }
  bash -c 'source /usr/share/bash-completion/bash_completion
    source /usr/share/bash-completion/completions/quillmark
    COMP_WORDS=(quillmark co); COMP_CWORD=1; COMP_LINE="quillmark co"; COMP_POINT=12
    _quillmark quillmark co quillmark; [ "${COMPREPLY[*]}" = comment ]'
}
check completion completion

# In Vim and Neovim as a user starts them (their own vimrc, none here): the
# plugin is loaded by itself and :help finds its page.
vim_help() {
  local out=$home/vim-help
  HOME=$home timeout 60 vim -N -i NONE -Es \
    -c 'help quillmark' -c "call writefile([expand('%:t'), exists(':QuillmarkComment')], '$out')" \
    -c 'qa!' </dev/null >/dev/null 2>&1
  [ "$(cat "$out" 2>/dev/null)" = "$(printf 'quillmark.txt\n2')" ]
}
check vim_help vim_help
nvim_help() {
  local out=$home/nvim-help
  command -v nvim >/dev/null || return 0
  HOME=$home timeout 60 nvim --headless -i NONE \
    -c 'help quillmark' -c "call writefile([expand('%:t'), exists(':QuillmarkComment')], '$out')" \
    -c 'qa!' </dev/null >/dev/null 2>&1
  [ "$(cat "$out" 2>/dev/null)" = "$(printf 'quillmark.txt\n2')" ]
}
check nvim_help nvim_help

# First use, as the README shows it: comment a class head in Vim.
first_use() {
  local file=$home/shape.h
  printf '#pragma once\n\nclass CShape : public CObject\n{\n};\n' >"$file"
  HOME=$home timeout 60 vim -N -i NONE -Es -c '3QuillmarkComment' -c 'wq' "$file" \
    </dev/null >/dev/null 2>&1
  grep -q '类    名 : CShape' "$file"
}
check first_use first_use

$sudo dpkg -r quillmark >/dev/null
trap 'rm -rf "$home"' EXIT
removed() { ! command -v quillmark >/dev/null && [ ! -e /usr/share/vim/vimfiles/pack/quillmark ]; }
check removed removed

echo "package: $pass passed, $fail failed"
[ "$fail" = 0 ]
