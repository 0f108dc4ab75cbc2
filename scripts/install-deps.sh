#!/usr/bin/env bash
# Installs the Debian packages quillmark needs, if missing.
#   install-deps.sh build   what building the tool needs
#   install-deps.sh         that, and what the tests, benchmarks and fuzzing need
set -eu
build=(g++ cmake ninja-build libcli11-dev libtree-sitter-dev)
# The dialogs' Qt views and the language server are optional for a build; the tests
# need them.
tests=(libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-dev qt6-base-dev
       fonts-wqy-microhei vim neovim man-db bash-completion dpkg-dev file
       nlohmann-json3-dev python3 git patch time xvfb xauth strace
       emacs-nox elpa-eglot clangd pre-commit)
packages=("${build[@]}")
[ "${1:-all}" = build ] || packages+=("${tests[@]}")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} = 0 ] && exit 0
echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo
# A failed refresh of the package lists is not yet a failure: the lists at hand
# may still hold every package (a mirror in the middle of a sync fails it).
$sudo apt-get update -qq || echo "install-deps: the package lists could not all be refreshed; trying with those at hand"
DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=900 install -y -qq "${missing[@]}" >/dev/null
