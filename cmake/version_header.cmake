# Writes DIR/quillmark/version.h from the project's version, the same file the
# configured build generates, for scripts that compile pieces of the tree
# without configuring it (the Win32 dialogs' syntax check and Wine test).
#   cmake -DOUT=DIR -P cmake/version_header.cmake
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../CMakeLists.txt line REGEX "^project\\(quillmark VERSION ")
if(NOT line MATCHES "VERSION ([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)")
  message(FATAL_ERROR "no four-part project version in CMakeLists.txt")
endif()
set(PROJECT_VERSION_MAJOR ${CMAKE_MATCH_1})
set(PROJECT_VERSION_MINOR ${CMAKE_MATCH_2})
set(PROJECT_VERSION_PATCH ${CMAKE_MATCH_3})
set(PROJECT_VERSION_TWEAK ${CMAKE_MATCH_4})
set(PROJECT_VERSION ${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${CMAKE_MATCH_3}.${CMAKE_MATCH_4})
configure_file(${CMAKE_CURRENT_LIST_DIR}/../port/version.h.in ${OUT}/quillmark/version.h @ONLY)
