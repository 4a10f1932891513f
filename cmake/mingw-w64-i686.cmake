# 32-bit Windows, the program's own bitness: built to keep the code free of pointer-size
# assumptions. Its tests are not run here, as 32-bit Wine is not installable on this host.
set(PELLANOR_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
