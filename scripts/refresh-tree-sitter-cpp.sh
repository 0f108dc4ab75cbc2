#!/usr/bin/env bash
# Re-fetches the C++ grammar's generated parser into third_party/tree-sitter-cpp/.
#   scripts/refresh-tree-sitter-cpp.sh VERSION SHA256
# VERSION is the npm package version of tree-sitter-cpp, SHA256 the checksum of its
# tarball as `npm pack` downloads it. The grammar's ABI must be one the installed
# tree-sitter runtime loads; the runtime's pkg-config version is not trustworthy on
# Debian, so the ABI bounds are read from api.h.
set -eu -o pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 VERSION SHA256" >&2
  exit 2
fi
version=$1
want_sha=$2
root=$(cd "$(dirname "$0")/.." && pwd)
dest=$root/third_party/tree-sitter-cpp
api_h=${TREE_SITTER_API_H:-/usr/include/tree_sitter/api.h}

if [ ! -f "$api_h" ]; then
  echo "error: $api_h not found (install libtree-sitter-dev or set TREE_SITTER_API_H)" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && npm pack --silent "tree-sitter-cpp@$version" >/dev/null)
tarball=$work/tree-sitter-cpp-$version.tgz
if [ ! -f "$tarball" ]; then
  echo "error: npm pack did not produce $(basename "$tarball")" >&2
  exit 1
fi
got_sha=$(sha256sum "$tarball" | cut -d' ' -f1)
if [ "$got_sha" != "$want_sha" ]; then
  echo "error: checksum mismatch for tree-sitter-cpp $version" >&2
  echo "  expected $want_sha" >&2
  echo "  got      $got_sha" >&2
  exit 1
fi
tar -xzf "$tarball" -C "$work"
pkg=$work/package

# The generated parser states its ABI; the runtime accepts a closed range.
abi=$(sed -n 's/^#define LANGUAGE_VERSION \([0-9]*\).*/\1/p' "$pkg/src/parser.c" | head -1)
max=$(sed -n 's/^#define TREE_SITTER_LANGUAGE_VERSION \([0-9]*\).*/\1/p' "$api_h" | head -1)
min=$(sed -n 's/^#define TREE_SITTER_MIN_COMPATIBLE_LANGUAGE_VERSION \([0-9]*\).*/\1/p' "$api_h" | head -1)
if [ -z "$abi" ] || [ -z "$max" ] || [ -z "$min" ]; then
  echo "error: could not read the grammar ABI ($abi) or the runtime's range ($min..$max)" >&2
  exit 1
fi
if [ "$abi" -lt "$min" ] || [ "$abi" -gt "$max" ]; then
  echo "error: grammar ABI $abi is outside the runtime's range $min..$max ($api_h)" >&2
  exit 1
fi

for f in src/parser.c src/scanner.c LICENSE; do
  [ -f "$pkg/$f" ] || { echo "error: $f missing from the package" >&2; exit 1; }
done
rm -rf "$dest"
mkdir -p "$dest/src/tree_sitter"
cp "$pkg/src/parser.c" "$pkg/src/scanner.c" "$dest/src/"
cp "$pkg"/src/tree_sitter/*.h "$dest/src/tree_sitter/"
cp "$pkg/LICENSE" "$dest/"
cat >"$dest/VERSION" <<INFO
tree-sitter-cpp $version
sha256 $got_sha
abi $abi
INFO
echo "tree-sitter-cpp $version (ABI $abi, runtime range $min..$max) copied to third_party/tree-sitter-cpp"
