# 64-bit Windows: built and tested alongside the 32-bit module.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(QUILLMARK_MINGW_TRIPLE x86_64-w64-mingw32)
# 64-bit Windows begins, for this module, with Vista.
set(QUILLMARK_WINDOWS_TARGET 0x0600)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
