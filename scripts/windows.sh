#!/usr/bin/env bash
# The Windows module: cross-builds QUILLMARK.dll for both architectures and runs
# its tests under Wine.
#   scripts/windows.sh build   install what is missing, build build-windows/{i686,x86_64}
#                              and the installer build-windows/QuillmarkSetup.exe
#   scripts/windows.sh test    run the Wine tests (x86_64 always; i686 where 32-bit runs)
# QUILLMARK_NO_32BIT=1 takes the road of a machine that cannot run 32-bit
# programs: no 32-bit Wine is installed or used, whatever this machine can do.
set -eu -o pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-windows
archs=(i686 x86_64)

# Debian packages: the cross compilers, widl and Wine's .idl files, Wine itself.
# 32-bit Wine is wanted where 32-bit programs run, but not needed: when it cannot
# be installed (a mirror in the middle of a sync, say) the i686 module is checked
# statically only, as on a machine that cannot run it, and the run says why.
install_missing() {
  local packages=(cmake ninja-build g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
                  mingw-w64-tools libwine-dev wine wine64 googletest nsis p7zip-full)
  local missing=() want32=0
  for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
  if can_run_32bit && ! installed wine32:i386; then want32=1; fi
  [ ${#missing[@]} = 0 ] && [ $want32 = 0 ] && return 0
  local sudo=""
  [ "$(id -u)" = 0 ] || sudo=sudo
  if [ $want32 = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  # A failed refresh of the package lists is not yet a failure: the lists at
  # hand may still hold every package.
  $sudo apt-get update -qq || echo "windows: the package lists could not all be refreshed; trying with those at hand"
  if [ ${#missing[@]} != 0 ]; then
    echo "windows: installing ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=900 install -y -qq \
      "${missing[@]}" >/dev/null
  fi
  if [ $want32 = 1 ]; then
    echo "windows: installing wine32:i386"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=900 install -y -qq \
      wine32:i386 >/dev/null ||
      echo "windows: wine32:i386 could not be installed; the i686 module is checked statically only"
  fi
}

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# Some machines of this kind cannot execute 32-bit programs at all.
can_run_32bit() {
  [ "${QUILLMARK_NO_32BIT:-0}" != 1 ] || return 1
  [ -x /lib/ld-linux.so.2 ] || [ -e /lib/ld-linux.so.2 ] || return 1
  /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

build_arch() {
  local arch=$1 dir=$out/$1
  local toolchain=$root/cmake/toolchains/mingw-$arch.cmake
  # googletest, once per architecture, with the same toolchain.
  if [ ! -f "$dir/gtest/lib/cmake/GTest/GTestConfig.cmake" ]; then
    cmake -S /usr/src/googletest -B "$dir/gtest-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=OFF \
      -DCMAKE_INSTALL_PREFIX="$dir/gtest" >/dev/null
    cmake --build "$dir/gtest-build" -j 2 >/dev/null
    cmake --install "$dir/gtest-build" >/dev/null
  fi
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQUILLMARK_BUILD_TESTS=OFF -DQUILLMARK_BUILD_BENCH=OFF \
    -DQUILLMARK_SYNTAX=OFF -DQUILLMARK_BUILD_DIALOGS=ON -DQUILLMARK_WERROR=ON \
    -DGTest_DIR="$dir/gtest/lib/cmake/GTest" >/dev/null
  cmake --build "$dir" -j 2
}

# The installer holds the i686 module only: the IDE is a 32-bit program.
build_installer() {
  local version
  version=$(sed -n 's/^project(quillmark VERSION \([0-9.]*\) .*/\1/p' "$root/CMakeLists.txt")
  makensis -V2 -DDLL="$out/i686/QUILLMARK.dll" -DVERSION="$version" \
    -DOUTFILE="$out/QuillmarkSetup.exe" "$root/packaging/windows/quillmark.nsi"
}

case "${1:-}" in
  build)
    install_missing
    for arch in "${archs[@]}"; do
      echo "== windows build: $arch"
      build_arch "$arch"
    done
    echo "== windows installer"
    build_installer
    ;;
  test)
    exec bash "$root/tests/windows/run.sh" "$out"
    ;;
  *)
    echo "usage: scripts/windows.sh build|test" >&2
    exit 2
    ;;
esac
