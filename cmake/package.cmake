# The release package velk10-<version>-windows.zip, made by CPack (the include(CPack) in
# the top-level CMakeLists.txt) from the win32 build: run `cpack` in the build folder after
# building. Layout:
#   x86/       the three 32-bit DLLs
#   x64/       the three 64-bit DLLs, when the 64-bit build exists (VELK_PACKAGE_X64_DLLS)
#   register.cmd, unregister.cmd
#   include/   velk10.h, velk10_i.c, velk10.tlb of the i686 build
#   samples/   the user samples
#   docs/      the user guide (Markdown, and HTML with the 64-bit build), its screenshots,
#              the licence notices
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME velk10)
set(CPACK_PACKAGE_FILE_NAME "velk10-${PROJECT_VERSION}-windows")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
# cpack packs what is built; it does not build first (the build runs the Wine tests' tools
# and the external projects, which have no place inside packaging).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(FILES ${VELK_WIN32_BUILD}/com/velk10.dll ${VELK_WIN32_BUILD}/tolvex/ini/com/tolvex10.dll
              ${VELK_WIN32_BUILD}/tolvex/runtime/tolvex11.dll ${VELK_WIN32_BUILD}/velkview/velkview.exe
        DESTINATION x86)
# The 64-bit build (cmake/native.cmake) sets
# VELK_PACKAGE_X64_DLLS (before this file is included) to the full paths of its
# velk10.dll, tolvex10.dll and tolvex11.dll, and VELK_PACKAGE_X64_VIEWER to its
# velkview.exe; they go to x64/. Empty: no x64/ folder.
set(VELK_PACKAGE_X64_DLLS "${VELK_PACKAGE_X64_DLLS}")
if(VELK_PACKAGE_X64_DLLS)
  install(FILES ${VELK_PACKAGE_X64_DLLS} ${VELK_PACKAGE_X64_VIEWER} DESTINATION x64)
endif()
install(FILES package/register.cmd package/unregister.cmd DESTINATION .)
install(FILES ${VELK_WIN32_BUILD}/com/velk10.h ${VELK_WIN32_BUILD}/com/velk10_i.c ${VELK_WIN32_BUILD}/com/velk10.tlb
        DESTINATION include)
# The samples with CR LF line ends, as Windows editors expect (the VBA editor imports a
# .bas module with bare LF line ends badly); copied again when one changes.
file(GLOB_RECURSE sample_files RELATIVE ${CMAKE_SOURCE_DIR}/samples CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/samples/*)
foreach(file IN LISTS sample_files)
  file(READ ${CMAKE_SOURCE_DIR}/samples/${file} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${CMAKE_BINARY_DIR}/package-samples/${file} "${text}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/samples/${file})
endforeach()
install(DIRECTORY ${CMAKE_BINARY_DIR}/package-samples/ DESTINATION samples)
install(FILES docs/guide.md docs/NOTICES.txt DESTINATION docs)
install(DIRECTORY docs/screenshots DESTINATION docs)

# The guide as HTML (cmake/guide.cmake) and the MSI package (cmake/msi.cmake), which
# holds both bitnesses.
if(VELK_PACKAGE_X64_DLLS)
  include(cmake/guide.cmake)
  install(FILES ${CMAKE_BINARY_DIR}/docs/guide.html DESTINATION docs)
  include(cmake/msi.cmake)
endif()

# The zip made from the current build, unpacked: exactly the files above.
add_test(NAME package_contents
         COMMAND ${CMAKE_SOURCE_DIR}/tests/package/contents.sh ${CMAKE_CPACK_COMMAND} ${CMAKE_BINARY_DIR}
                 ${CMAKE_BINARY_DIR}/package-test ${PROJECT_VERSION} ${VELK_WIN32_BUILD} ${VELK_PACKAGE_X64_DLLS}
                 ${VELK_PACKAGE_X64_VIEWER})
# Every cpack run in the build folder writes its install_manifest.txt: one at a time.
set_tests_properties(package_contents PROPERTIES RESOURCE_LOCK cpack)

# The package as a user takes it: unpacked, registered in a clean 64-bit prefix, the
# samples of both bitnesses run, unregistered exactly.
if(VELK_PACKAGE_X64_DLLS)
  add_test(NAME package_as_a_user
           COMMAND ${CMAKE_SOURCE_DIR}/tests/package/as_a_user.sh ${CMAKE_CPACK_COMMAND} ${CMAKE_BINARY_DIR}
                   ${CMAKE_BINARY_DIR}/package-user ${PROJECT_VERSION}
                   ${VELK_WIN32_BUILD}/tests/wine/samples/viewer_closer.exe)
  set_tests_properties(package_as_a_user PROPERTIES TIMEOUT 900 RESOURCE_LOCK cpack)
endif()
