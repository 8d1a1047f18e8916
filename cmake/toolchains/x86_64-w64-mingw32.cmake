# 64-bit Windows with MinGW-w64 (see mingw-w64.cmake).
set(VX_MINGW_TRIPLE x86_64-w64-mingw32)
set(VX_MINGW_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
