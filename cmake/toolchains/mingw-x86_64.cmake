# 64-bit Windows: built and tested alongside the 32-bit module.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(QUILLMARK_MINGW_TRIPLE x86_64-w64-mingw32)
set(QUILLMARK_WINE_PE_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
