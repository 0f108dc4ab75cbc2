# 32-bit Windows, the architecture of the IDE.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(QUILLMARK_MINGW_TRIPLE i686-w64-mingw32)
set(QUILLMARK_WINE_PE_DIR /usr/lib/i386-linux-gnu/wine/i386-windows)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
