# 32-bit Windows, the architecture of the IDE.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(QUILLMARK_MINGW_TRIPLE i686-w64-mingw32)
# The IDE runs on Windows XP SP3 and later: the headers hide what XP lacks,
# so a newer function can only be reached through GetProcAddress.
set(QUILLMARK_WINDOWS_TARGET 0x0501)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
