# What both mingw-w64 cross toolchains share. Included by the per-architecture
# files, which set QUILLMARK_MINGW_TRIPLE first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)

set(CMAKE_C_COMPILER ${QUILLMARK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLMARK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLMARK_MINGW_TRIPLE}-windres)

# stdole2.tlb, which the type library imports, from 64-bit Wine for both
# architectures: it is on every build machine, while the 32-bit copy exists only
# where 32-bit programs can run. An import records the library's identity and
# the index of each type taken from it, the same in both copies.
set(QUILLMARK_STDOLE_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILLMARK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_C_FLAGS_INIT "-D_WIN32_WINNT=${QUILLMARK_WINDOWS_TARGET} -DWINVER=${QUILLMARK_WINDOWS_TARGET}")
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=${QUILLMARK_WINDOWS_TARGET} -DWINVER=${QUILLMARK_WINDOWS_TARGET}")
set(CMAKE_RC_FLAGS_INIT "-D_WIN32_WINNT=${QUILLMARK_WINDOWS_TARGET} -DWINVER=${QUILLMARK_WINDOWS_TARGET}")

# The IDE loads the module into its own process: no runtime DLLs may follow it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
