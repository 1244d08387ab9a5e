# Native build: portable libraries and their tests.
find_package(GTest REQUIRED)
include(GoogleTest)
add_compile_options(-Wall -Wextra -Wpedantic)

include(cmake/portable.cmake)
add_subdirectory(tests/native)

option(VELK_WIN32 "Also build the Windows DLLs (MinGW) and run their tests under Wine" ON)
if(VELK_WIN32)
  include(ExternalProject)
  set(VELK_WIN32_BUILD ${CMAKE_BINARY_DIR}/win32)
  ExternalProject_Add(win32
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${VELK_WIN32_BUILD}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-i686.cmake
               -DCMAKE_BUILD_TYPE=Release
               -DVELK_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    USES_TERMINAL_BUILD ON)
  # One ctest run covers both builds.
  file(WRITE ${CMAKE_BINARY_DIR}/win32-tests.cmake "subdirs(\"${VELK_WIN32_BUILD}\")\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${CMAKE_BINARY_DIR}/win32-tests.cmake)
endif()
