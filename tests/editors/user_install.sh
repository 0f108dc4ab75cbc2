#!/usr/bin/env bash
# The README's install without root: `cmake --install BUILD --prefix ~/.local`
# into a scratch home; the installed binary runs, Vim finds the plugin with
# the README's packpath line, and Neovim finds it by itself.
#   user_install.sh BUILD_DIR
set -u
build=$(realpath "$1")
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
pass=0 fail=0
ok() { pass=$((pass + 1)); }
bad() { fail=$((fail + 1)); echo "FAIL: $1"; }
# Only the scratch home: no user's or test's XDG directories.
in_home() { env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_STATE_HOME -u VIMINIT HOME="$home" "$@"; }

if cmake --install "$build" --prefix "$home/.local" >"$home/install.log" 2>&1; then ok; else
  bad "cmake --install --prefix ~/.local: $(tail -5 "$home/install.log")"
fi
in_home "$home/.local/bin/quillmark" --version | grep -q '^quillmark ' && ok || bad "installed binary"
# The line the README gives for Vim.
echo 'set packpath+=~/.local/share/vim/vimfiles' >"$home/.vimrc"
if command -v vim >/dev/null; then
  in_home timeout 60 vim -N -u "$home/.vimrc" -i NONE -n -Es \
    -c 'call writefile([exists(":QuillmarkComment")], expand("~/vim.out"))' -c 'qa!' </dev/null >/dev/null 2>&1
  [ "$(cat "$home/vim.out" 2>/dev/null)" = 2 ] && ok || bad "Vim does not find the plugin under ~/.local"
fi
if command -v nvim >/dev/null; then
  touch "$home/init.vim"
  in_home timeout 60 nvim --headless -u "$home/init.vim" -i NONE -n \
    -c 'call writefile([exists(":QuillmarkComment")], expand("~/nvim.out"))' -c 'qa!' </dev/null >/dev/null 2>&1
  [ "$(cat "$home/nvim.out" 2>/dev/null)" = 2 ] && ok || bad "Neovim does not find the plugin under ~/.local"
fi
echo "user install: $pass passed, $fail failed"
[ $fail = 0 ]
