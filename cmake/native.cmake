# Native build: portable libraries and their tests.
find_package(GTest REQUIRED)
include(GoogleTest)
add_compile_options(-Wall -Wextra -Wpedantic)

option(VELK_WIN32 "Also build the Windows DLLs (MinGW) and run their tests under Wine" ON)
option(VELK_WIN64 "With VELK_WIN32, also build the DLLs for 64-bit clients and run their tests" ON)
set(VELK_WIN32_BUILD ${CMAKE_BINARY_DIR}/win32)
set(VELK_WIN64_BUILD ${CMAKE_BINARY_DIR}/win64)

include(cmake/portable.cmake)
# Host tools that the MinGW builds run while they build.
add_subdirectory(tools/tlbpatch)
add_subdirectory(tests/support)
add_subdirectory(tests/native)
# A benchmark of the report viewer's rows, run by hand, outside the test run.
add_executable(report_list_bench bench/report_list_bench.cpp)
target_link_libraries(report_list_bench PRIVATE viewer)

# Fuzz targets (tests/fuzz): a clang build of their own with libFuzzer and the sanitizers,
# made when clang++ can build a fuzzer here; its tests join the same CTest run.
option(VELK_FUZZ "Build the fuzz targets with clang and run them in the tests" ON)
if(VELK_FUZZ AND NOT VELK_FUZZ_CXX)
  find_program(VELK_CLANGXX NAMES clang++)
  if(VELK_CLANGXX)
    set(probe ${CMAKE_BINARY_DIR}/CMakeFiles/fuzz-probe)
    file(WRITE ${probe}.cpp "#include <cstddef>\n#include <cstdint>\n"
         "extern \"C\" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }\n")
    execute_process(COMMAND ${VELK_CLANGXX} -fsanitize=fuzzer,address,undefined ${probe}.cpp -o ${probe}
                    RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
    if(status EQUAL 0)
      set(VELK_FUZZ_CXX ${VELK_CLANGXX} CACHE FILEPATH "clang++ that builds the fuzz targets")
    endif()
  endif()
endif()
if(VELK_FUZZ AND VELK_FUZZ_CXX)
  include(ExternalProject)
  set(VELK_FUZZ_BUILD ${CMAKE_BINARY_DIR}/fuzz)
  ExternalProject_Add(fuzz
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/tests/fuzz
    BINARY_DIR ${VELK_FUZZ_BUILD}
    CMAKE_ARGS -DCMAKE_CXX_COMPILER=${VELK_FUZZ_CXX}
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON)
  file(WRITE ${CMAKE_BINARY_DIR}/fuzz-tests.cmake "subdirs(\"${VELK_FUZZ_BUILD}\")\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${CMAKE_BINARY_DIR}/fuzz-tests.cmake)
elseif(VELK_FUZZ)
  message(STATUS "Fuzz targets not built: no clang++ with libFuzzer here (tools/setup.sh installs one)")
endif()

# mingw_build(<name> <toolchain> <prefix> [cmake arguments...]): the MinGW build <name> of
# these sources in build/<name>, its Wine tests in <prefix>, all in one ctest run. It
# builds with the host tools made here (VELK_TLBPATCH), so building runs nothing under Wine.
function(mingw_build name toolchain prefix)
  ExternalProject_Add(${name}
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/${name}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/${toolchain}
               -DCMAKE_BUILD_TYPE=Release
               -DVELK_WINEPREFIX=${CMAKE_BINARY_DIR}/${prefix}
               -DVELK_TLBPATCH=$<TARGET_FILE:tlbpatch>
               ${ARGN}
    DEPENDS tlbpatch
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    USES_TERMINAL_BUILD ON)
  file(WRITE ${CMAKE_BINARY_DIR}/${name}-tests.cmake "subdirs(\"${CMAKE_BINARY_DIR}/${name}\")\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${CMAKE_BINARY_DIR}/${name}-tests.cmake)
endfunction()

if(VELK_WIN32)
  include(ExternalProject)
  mingw_build(win32 mingw-i686.cmake wineprefix)
endif()
if(VELK_WIN32 AND VELK_WIN64)
  # The same sources for 64-bit clients, tested in a 64-bit prefix of their own, whose
  # 32-bit side also runs the i686 build's programs (tests of both bitnesses together).
  mingw_build(win64 mingw-x86_64.cmake wineprefix64 -DVELK_WIN32_BUILD=${VELK_WIN32_BUILD})
  ExternalProject_Add_StepDependencies(win64 configure win32)
  # The release package takes its DLLs and the report viewer program into x64/
  # (cmake/package.cmake); the MSI package takes the same program (cmake/msi.cmake).
  set(VELK_PACKAGE_X64_DLLS ${VELK_WIN64_BUILD}/com/velk10.dll ${VELK_WIN64_BUILD}/tolvex/ini/com/tolvex10.dll
                            ${VELK_WIN64_BUILD}/tolvex/runtime/tolvex11.dll)
  set(VELK_PACKAGE_X64_VIEWER ${VELK_WIN64_BUILD}/velkview/velkview.exe)
endif()
