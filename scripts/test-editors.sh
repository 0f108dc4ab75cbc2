#!/usr/bin/env bash
# The buffer protocol end to end, the Vim/Neovim plugin in real Vim and
# Neovim, and the install under ~/.local the README gives, against a built
# quillmark (all its targets); with --package also the Debian package.
#   scripts/test-editors.sh BUILD_DIR [--package]
set -u
build=$(realpath "${1:?usage: scripts/test-editors.sh BUILD_DIR [--package]}")
cd "$(dirname "$0")/.." || exit 2
bin=$build/cli/quillmark
status=0
bash tests/cli/buffer_protocol.sh "$bin" tests/cli || status=1
bash tests/editors/run.sh "$bin" tests/editors || status=1
bash tests/editors/user_install.sh "$build" || status=1
if [ "${2:-}" = --package ]; then
  bash scripts/test-package.sh || status=1
fi
exit $status
