# The Windows Installer package build/velk10-<version>-x64.msi, made by the build with wixl
# from package/velk10.wxs (included from cmake/package.cmake, after cmake/guide.cmake, when
# both MinGW builds are on).
# The package's COM registration rows are generated from the IDLs and the class tables
# (cmake/msi_com_rows.cmake); its other files are listed here (files.wxi). The build
# finishes the package with msibuild: wixl writes the HKMU root as 4 instead of -1, and
# the properties a managed installation passes to its server side are listed.
# The report viewer velkview.exe goes into x64\ with a Start menu shortcut: the 64-bit
# build's, or the one VELK_VIEWER_EXE names.
set(VELK_VIEWER_EXE "" CACHE FILEPATH "velkview.exe for the MSI package (empty: the 64-bit build's)")
if(NOT VELK_VIEWER_EXE)
  set(VELK_VIEWER_EXE ${VELK_PACKAGE_X64_VIEWER})
endif()
foreach(tool wixl msibuild)
  string(TOUPPER ${tool} var)
  find_program(VELK_${var} ${tool})
  if(NOT VELK_${var})
    message(FATAL_ERROR "${tool} is missing: tools/setup.sh installs it")
  endif()
endforeach()

set(msi ${CMAKE_BINARY_DIR}/msi)
file(MAKE_DIRECTORY ${msi})
# The COM rows of each bitness.
set(com_sources velk10=${CMAKE_SOURCE_DIR}/com/velk10.idl=${CMAKE_SOURCE_DIR}/com/server.cpp=com
                tolvex10=${CMAKE_SOURCE_DIR}/tolvex/ini/com/tolvex10.idl=${CMAKE_SOURCE_DIR}/tolvex/ini/com/server.cpp=tolvex/ini/com
                tolvex11=${CMAKE_SOURCE_DIR}/tolvex/runtime/tolvex11.idl=${CMAKE_SOURCE_DIR}/tolvex/runtime/server.cpp=tolvex/runtime)
set(com_inputs ${CMAKE_SOURCE_DIR}/cmake/msi_com_rows.cmake)
foreach(source IN LISTS com_sources)
  string(REPLACE "=" ";" parts ${source})
  list(SUBLIST parts 1 2 parts)
  list(APPEND com_inputs ${parts})
endforeach()
string(REPLACE ";" "\\;" com_list "${com_sources}")
foreach(bits 32 64)
  set(folder x86)
  if(bits EQUAL 64)
    set(folder x64)
  endif()
  add_custom_command(
    OUTPUT ${msi}/com-${folder}.wxi
    COMMAND ${CMAKE_COMMAND} -DBITS=${bits} -DOUT=${msi}/com-${folder}.wxi -DDLLS=${com_list}
            -P ${CMAKE_SOURCE_DIR}/cmake/msi_com_rows.cmake
    DEPENDS ${com_inputs}
    COMMENT "Generating the package's COM rows (${folder})"
    VERBATIM)
  list(APPEND msi_inputs ${msi}/com-${folder}.wxi)
endforeach()

# files.wxi: include\, samples\ and docs\, one component a file (its GUID follows the path);
# files-refs.wxi: the feature's references to them. msi_folder(<folder> <file>...) adds a
# folder's files; the folders are written as a tree once all are known.
set(msi_folders "")
set(file_inputs "")
function(msi_folder folder)
  set(components "")
  foreach(path IN LISTS ARGN)
    get_filename_component(name "${path}" NAME)
    string(MAKE_C_IDENTIFIER "${folder}/${name}" id)
    string(UUID guid NAMESPACE 6F0A3C52-8E1D-4B7A-9C35-2D41B8E07A19 NAME "${folder}/${name}" TYPE SHA1 UPPER)
    # wixl reads a relative Source path only: msi_build.cmake runs it from the root.
    string(REGEX REPLACE "^/" "" relative "${path}")
    string(APPEND components "<Component Id=\"c_${id}\" Guid=\"${guid}\" Win64=\"yes\">"
                             "<File Id=\"${id}\" Name=\"${name}\" Source=\"${relative}\" KeyPath=\"yes\"/></Component>\n")
    list(APPEND file_inputs "${path}")
  endforeach()
  set(msi_folders "${msi_folders};${folder}" PARENT_SCOPE)
  set("msi_components_${folder}" "${components}" PARENT_SCOPE)
  set(file_inputs "${file_inputs}" PARENT_SCOPE)
endfunction()
msi_folder(include ${VELK_WIN32_BUILD}/com/velk10.h ${VELK_WIN32_BUILD}/com/velk10_i.c ${VELK_WIN32_BUILD}/com/velk10.tlb)
# The samples with the CR LF line ends of the release package (cmake/package.cmake).
foreach(file IN LISTS sample_files)
  get_filename_component(dir "samples/${file}" DIRECTORY)
  list(APPEND "samples_in_${dir}" ${CMAKE_BINARY_DIR}/package-samples/${file})
  list(APPEND sample_dirs "${dir}")
endforeach()
list(REMOVE_DUPLICATES sample_dirs)
foreach(dir IN LISTS sample_dirs)
  msi_folder(${dir} ${samples_in_${dir}})
endforeach()
msi_folder(docs ${CMAKE_SOURCE_DIR}/docs/guide.md ${docs}/guide.html ${CMAKE_SOURCE_DIR}/docs/NOTICES.txt)
msi_folder(docs/screenshots ${screenshot_copies})
# The tree: each folder inside the one before it that is its parent.
list(REMOVE_ITEM msi_folders "")
list(SORT msi_folders)
set(files_xml "<Include>\n")
set(refs_xml "<Include>\n")
set(open "")
foreach(folder IN LISTS msi_folders)
  while(open AND NOT folder MATCHES "^${open}/")
    string(APPEND files_xml "</Directory>\n")
    get_filename_component(open "${open}" DIRECTORY)
  endwhile()
  string(REPLACE "/" ";" parts "${folder}")
  string(REPLACE "/" ";" open_parts "${open}")
  list(LENGTH open_parts depth)
  list(SUBLIST parts ${depth} -1 new_parts)
  foreach(part IN LISTS new_parts)
    if(open)
      set(open "${open}/${part}")
    else()
      set(open "${part}")
    endif()
    string(MAKE_C_IDENTIFIER "${open}" id)
    string(APPEND files_xml "<Directory Id=\"dir_${id}\" Name=\"${part}\">\n")
  endforeach()
  string(APPEND files_xml "${msi_components_${folder}}")
  string(REGEX MATCHALL "Component Id=\"[^\"]*\"" ids "${msi_components_${folder}}")
  foreach(id IN LISTS ids)
    string(REPLACE "Component Id=" "ComponentRef Id=" ref "${id}")
    string(APPEND refs_xml "  <${ref}/>\n")
  endforeach()
endforeach()
while(open)
  string(APPEND files_xml "</Directory>\n")
  get_filename_component(open "${open}" DIRECTORY)
endwhile()
string(APPEND files_xml "</Include>\n")
string(APPEND refs_xml "</Include>\n")
file(CONFIGURE OUTPUT ${msi}/files.wxi CONTENT "${files_xml}" @ONLY)
file(CONFIGURE OUTPUT ${msi}/files-refs.wxi CONTENT "${refs_xml}" @ONLY)
list(APPEND msi_inputs ${msi}/files.wxi ${msi}/files-refs.wxi ${file_inputs})

# The package of this version; tests/package/msi.sh builds one of an earlier version the
# same way (cmake/msi_build.cmake).
set(VELK_MSI ${CMAKE_BINARY_DIR}/velk10-${PROJECT_VERSION}-x64.msi)
set(VELK_MSI_BUILD_ARGS -DWXS=${CMAKE_SOURCE_DIR}/package/velk10.wxs -DINCLUDES=${msi}
    -DBUILD32=${VELK_WIN32_BUILD} -DBUILD64=${VELK_WIN64_BUILD} -DVIEWER=${VELK_VIEWER_EXE}
    -DWIXL=${VELK_WIXL} -DMSIBUILD=${VELK_MSIBUILD})
add_custom_command(
  OUTPUT ${VELK_MSI}
  COMMAND ${CMAKE_COMMAND} ${VELK_MSI_BUILD_ARGS} -DVERSION=${PROJECT_VERSION} -DOUT=${VELK_MSI}
          -P ${CMAKE_SOURCE_DIR}/cmake/msi_build.cmake
  DEPENDS ${msi_inputs} ${CMAKE_SOURCE_DIR}/package/velk10.wxs ${CMAKE_SOURCE_DIR}/cmake/msi_build.cmake
          ${VELK_PACKAGE_X64_DLLS} ${VELK_WIN32_BUILD}/com/velk10.dll ${VELK_WIN32_BUILD}/tolvex/ini/com/tolvex10.dll
          ${VELK_WIN32_BUILD}/tolvex/runtime/tolvex11.dll ${VELK_VIEWER_EXE}
  COMMENT "Building velk10-${PROJECT_VERSION}-x64.msi"
  VERBATIM)
add_custom_target(msi ALL DEPENDS ${VELK_MSI})
add_dependencies(msi win32 win64 guide_html)

# The package under Wine's msiexec (tests/package/msi.sh): an upgrade from the version
# before this one, built in the test, the registration against regsvr32's, the samples,
# a repair, the removal, and the installation for a user.
if(PROJECT_VERSION_PATCH GREATER 0)
  math(EXPR patch "${PROJECT_VERSION_PATCH} - 1")
  set(previous ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${patch})
elseif(PROJECT_VERSION_MINOR GREATER 0)
  math(EXPR minor "${PROJECT_VERSION_MINOR} - 1")
  set(previous ${PROJECT_VERSION_MAJOR}.${minor}.0)
else()
  math(EXPR major "${PROJECT_VERSION_MAJOR} - 1")
  set(previous ${major}.9.0)
endif()
add_test(NAME package_msi
         COMMAND ${CMAKE_SOURCE_DIR}/tests/package/msi.sh ${CMAKE_BINARY_DIR}/package-msi ${VELK_MSI}
                 ${PROJECT_VERSION} ${previous} ${VELK_WIN32_BUILD}/tests/wine/samples/viewer_closer.exe
                 ${VELK_WIN32_BUILD} ${VELK_WIN64_BUILD} "${VELK_VIEWER_EXE}" -- ${VELK_MSI_BUILD_ARGS})
set_tests_properties(package_msi PROPERTIES TIMEOUT 900)
