# 64-bit Windows: built and tested under 64-bit Wine.
set(PELLANOR_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
