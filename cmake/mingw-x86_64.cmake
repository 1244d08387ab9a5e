# Cross build of the Windows DLLs and their test programs for 64-bit clients (MinGW-w64,
# posix threads): the same sources as the i686 build, tested in a private 64-bit prefix.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
