# Cross build of the Windows DLLs and their test programs (32-bit, MinGW-w64, posix threads).
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
