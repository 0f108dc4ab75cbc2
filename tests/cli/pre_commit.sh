#!/usr/bin/env bash
# The hooks of .pre-commit-hooks.yaml run by the real pre-commit program, offline:
# a scratch git project takes them from a scratch clone of the tree under test
# (its .pre-commit-hooks.yaml as it is now, rev at that clone's HEAD), with the
# quillmark under test first on PATH as language: system needs.
# - quillmark-check: a commit that makes a block stale is refused with the
#   finding printed; after quillmark refresh it goes through; a commit without
#   C or C++ files does not run it.
# - quillmark-refresh: a stale commit is refused with the block brought up to
#   date in the work tree; committed again, it goes through.
#   pre_commit.sh QUILLMARK SOURCE_DIR   (exit 77: skipped, the reason printed)
set -u
for tool in pre-commit git; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP pre-commit hooks: $tool is not installed (bash scripts/install-deps.sh installs it)"
    exit 77
  fi
done
bin=$(realpath "$1") src=$(realpath "$2")
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT
# Nothing of the user's own git or pre-commit set-up takes part.
export HOME=$top/home XDG_CONFIG_HOME=$top/config PRE_COMMIT_HOME=$top/pre-commit-cache
export GIT_CONFIG_NOSYSTEM=1 QUILLMARK_DATE=2002-09-17
unset GIT_DIR GIT_WORK_TREE GIT_INDEX_FILE
mkdir -p "$HOME" "$top/bin"
ln -s "$bin" "$top/bin/quillmark"
export PATH=$top/bin:$PATH
git config --global user.name "Hook Test"
git config --global user.email "hooks@example.invalid"
git config --global commit.gpgsign false
git config --global init.defaultBranch main
fail=0
check() {  # check WHY COMMAND...: the command must succeed
  local why=$1
  shift
  if ! "$@"; then
    echo "FAIL $why"
    fail=$((fail + 1))
  fi
}

# The hook repository: a clone of the tree under test, with its hooks file as
# it stands in the work tree (committed there when it differs).
hooks=$top/hooks
if git -C "$src" rev-parse --git-dir >/dev/null 2>&1; then
  git clone -q --depth 1 "file://$src" "$hooks" || exit 1
else
  git init -q "$hooks" || exit 1
fi
cp "$src/.pre-commit-hooks.yaml" "$hooks/.pre-commit-hooks.yaml"
git -C "$hooks" add .pre-commit-hooks.yaml
git -C "$hooks" diff --cached --quiet || git -C "$hooks" commit -q -m "hooks under test"
rev=$(git -C "$hooks" rev-parse HEAD)

project=$top/project
mkdir "$project"
cd "$project" || exit 1
git init -q .
use_hook() {  # use_hook ID: the project's configuration runs that hook
  printf 'repos:\n  - repo: %s\n    rev: %s\n    hooks:\n      - id: %s\n' \
    "$hooks" "$rev" "$1" >.pre-commit-config.yaml
  git add .pre-commit-config.yaml
}
use_hook quillmark-check
pre-commit install >/dev/null || exit 1
printf '#include "shape.h"\n\ndouble Area(double radius);\n' >shapes.cpp
quillmark comment shapes.cpp --line 3 >/dev/null
git add shapes.cpp
git commit -q -m "a commented declaration" >"$top/out" 2>&1
check "a commit with a current block goes through" test $? = 0 || cat "$top/out"
first=$(git rev-parse HEAD)

line=$(grep -n '^double Area' shapes.cpp | cut -d: -f1)
sed -i 's/^double Area(double radius);/double Area(double radius, int precision);/' shapes.cpp
git add shapes.cpp
git commit -q -m "a parameter added" >"$top/out" 2>&1
check "a commit that makes a block stale is refused" test $? != 0
check "the commit was not made" test "$(git rev-parse HEAD)" = "$first"
finding="shapes.cpp:$line:1: warning: comment of 'Area' is stale: parameters (double radius) now (double radius, int precision) [stale]"
check "the finding is printed" grep -qF "$finding" "$top/out"
[ $fail = 0 ] || cat "$top/out"

quillmark refresh shapes.cpp --line "$line" >/dev/null
git add shapes.cpp
git commit -q -m "a parameter added, the block refreshed" >"$top/out" 2>&1
check "after quillmark refresh the commit goes through" test $? = 0 || cat "$top/out"
check "the refreshed block is committed" \
  sh -c "git show HEAD:shapes.cpp | grep -q '^//.*int precision\$'"

printf 'notes\n' >notes.txt
git add notes.txt
git commit -q -m "no source" >"$top/out" 2>&1
check "a commit without C or C++ files goes through" test $? = 0
check "the check hook does not run on it" grep -q "no files to check" "$top/out"

# The refresh hook mends the stale block; the commit goes through once the
# mended file is staged.
use_hook quillmark-refresh
git commit -q -m "the refresh hook" >/dev/null 2>&1
sed -i 's/^double Area(double radius, int precision);/double Area(double radius, int precision, bool exact);/' \
  shapes.cpp
git add shapes.cpp
before=$(git rev-parse HEAD)
git commit -q -m "another parameter" >"$top/out" 2>&1
check "the refresh hook refuses a commit with a stale block" test $? != 0
check "the refresh hook says it changed the file" grep -q "files were modified by this hook" "$top/out"
check "the commit was not made" test "$(git rev-parse HEAD)" = "$before"
check "the block in the work tree is up to date" quillmark check shapes.cpp
git add shapes.cpp
git commit -q -m "another parameter, refreshed" >"$top/out" 2>&1
check "staged again, the commit goes through" test $? = 0 || cat "$top/out"

echo "pre-commit hooks: $fail failed"
[ "$fail" = 0 ]
