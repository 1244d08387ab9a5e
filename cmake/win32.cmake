# Windows build: the three COM DLLs, the tests that run under Wine, the benchmarks.
set(VELK_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "private Wine prefix for tests")
# The 64-bit build's programs run in a 64-bit prefix (whose 32-bit side runs the i686 build's).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(VELK_WIN64 ON)
  set(VELK_WINEARCH win64)
  set(VELK_WIN32_BUILD "" CACHE PATH "the i686 build beside this one, for the tests of both bitnesses")
else()
  set(VELK_WIN64 OFF)
  set(VELK_WINEARCH win32)
endif()
add_compile_options(-Wall -Wextra)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
# Everything static: the DLLs need nothing beside them.
set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -static -municode")
set(CMAKE_SHARED_LINKER_FLAGS "${CMAKE_SHARED_LINKER_FLAGS} -static -Wl,--enable-stdcall-fixup")

# The type libraries are built for the build's own bitness (SYS_WIN32 or SYS_WIN64, v-table
# offsets for its pointer size), importing stdole2.tlb of the same bitness.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(WIDL x86_64-w64-mingw32-widl)
  set(WIDL_FLAGS --win64 -I/usr/include/wine/wine/windows -L/usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
else()
  set(WIDL i686-w64-mingw32-widl)
  set(WIDL_FLAGS --win32 -I/usr/include/wine/wine/windows -L/usr/lib/i386-linux-gnu/wine/i386-windows)
endif()

# dll_resources(<target> <name> <description>): adds <name>.rc, configured from
# cmake/dll.rc.in in the binary dir beside <name>.tlb, which it embeds with the version
# resource (the project's version, <description> as FileDescription).
function(dll_resources target name description)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${name}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/dll.rc.in ${rc} @ONLY)
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/${name}.tlb)
  target_sources(${target} PRIVATE ${rc})
endfunction()

# The host's tlbpatch (tools/tlbpatch), which the native build hands over.
set(VELK_TLBPATCH "" CACHE FILEPATH "tlbpatch built for the host, which finishes a type library after widl")

# com_dll(<name> <description> SOURCES <source>... [LIBRARIES <target>...] [PATCH <edit>...]):
# the in-process COM server <name>.dll from the sources beside <name>.idl and <name>.def
# and the exports of winkit/dll_exports.cpp, carrying its type library and the version
# resource (dll_resources). widl makes <name>.tlb, <name>.h and <name>_i.c in the binary
# dir; with PATCH it makes the draft <name>_widl.tlb, and tlbpatch applies the edits to it
# to give <name>.tlb. The interface library <name>_types (the header's folder and the
# identifiers) serves the DLL and its early-bound test clients; its properties TLB and
# WIDL_TLB hold the full paths of the finished library and of widl's.
function(com_dll name description)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "SOURCES;LIBRARIES;PATCH")
  set(idl ${CMAKE_CURRENT_SOURCE_DIR}/${name}.idl)
  set(out ${CMAKE_CURRENT_BINARY_DIR})
  set(tlb ${out}/${name}.tlb)
  set(widl_tlb ${tlb})
  if(arg_PATCH)
    set(widl_tlb ${out}/${name}_widl.tlb)
  endif()
  add_custom_command(
    OUTPUT ${widl_tlb} ${out}/${name}.h ${out}/${name}_i.c
    COMMAND ${WIDL} ${WIDL_FLAGS} -t -o ${widl_tlb} ${idl}
    COMMAND ${WIDL} ${WIDL_FLAGS} -h -o ${out}/${name}.h ${idl}
    COMMAND ${WIDL} ${WIDL_FLAGS} -u -o ${out}/${name}_i.c ${idl}
    DEPENDS ${idl}
    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
    COMMENT "Compiling ${name}.idl"
    VERBATIM)
  if(arg_PATCH)
    if(NOT VELK_TLBPATCH)
      message(FATAL_ERROR "${name}.tlb needs the host's tlbpatch: configure the top-level project natively, or pass -DVELK_TLBPATCH=<path>")
    endif()
    add_custom_command(
      OUTPUT ${tlb}
      COMMAND ${VELK_TLBPATCH} ${widl_tlb} ${tlb} ${arg_PATCH}
      DEPENDS ${VELK_TLBPATCH} ${widl_tlb}
      COMMENT "Finishing ${name}.tlb"
      VERBATIM)
  endif()
  add_custom_target(${name}_typelib_files ALL DEPENDS ${tlb} ${out}/${name}.h ${out}/${name}_i.c)

  add_library(${name}_types INTERFACE)
  target_include_directories(${name}_types INTERFACE ${out})
  target_sources(${name}_types INTERFACE ${out}/${name}_i.c)
  target_link_libraries(${name}_types INTERFACE oleaut32 ole32 uuid)
  add_dependencies(${name}_types ${name}_typelib_files)
  set_target_properties(${name}_types PROPERTIES TLB ${tlb} WIDL_TLB ${widl_tlb})

  add_library(${name} SHARED ${arg_SOURCES} ${name}.def ${PROJECT_SOURCE_DIR}/winkit/dll_exports.cpp)
  dll_resources(${name} ${name} "${description}")
  set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME ${name})
  target_link_libraries(${name} PRIVATE ${name}_types winkit ${arg_LIBRARIES})
  add_dependencies(${name} ${name}_typelib_files)
endfunction()

# wine_test(<name> <command...>): a test that runs under the private Wine prefix.
function(wine_test name)
  add_test(NAME ${name} COMMAND ${ARGN})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "WINEPREFIX=${VELK_WINEPREFIX};WINEARCH=${VELK_WINEARCH}")
endfunction()

# GoogleTest, cross-compiled from Debian's source package.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_subdirectory(winkit)
add_subdirectory(com)
include(cmake/portable.cmake)
add_subdirectory(windows)
add_subdirectory(velkview)
add_subdirectory(tests/wine)
add_subdirectory(bench)
