# cmake -DVERSION=<x.y.z> -DOUT=<msi> -DWXS=<velk10.wxs> -DINCLUDES=<folder of the .wxi files>
#       -DBUILD32=<i686 build> -DBUILD64=<x86_64 build> [-DVIEWER=<velkview.exe>]
#       -DWIXL=<wixl> -DMSIBUILD=<msibuild> -P msi_build.cmake
# Builds velk10's Windows Installer package of the given version: wixl compiles the .wxs,
# then msibuild finishes two things wixl gets wrong or cannot say. The product code belongs
# to the version (the same version always has the same one); the upgrade code is the one
# in the .wxs.
cmake_minimum_required(VERSION 3.20)
foreach(var VERSION OUT WXS INCLUDES BUILD32 BUILD64 WIXL MSIBUILD)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "msi_build.cmake needs -D${var}=...")
  endif()
endforeach()
if(NOT VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
  message(FATAL_ERROR "the package's version '${VERSION}' is not <major>.<minor>.<patch>")
endif()
string(UUID product_code NAMESPACE 3C9E4F27-6B1A-4D58-A2E7-81F0C6D95B34 NAME "velk10 ${VERSION}" TYPE SHA1 UPPER)
# wixl finds a file whose Source is relative to its working folder and no other: it runs
# from the root, and every path it reads goes without the leading slash.
foreach(var BUILD32 BUILD64 VIEWER)
  string(REGEX REPLACE "^/" "" ${var}_RELATIVE "${${var}}")
endforeach()
set(defines -D Version=${VERSION} -D ProductCode=${product_code} -D Build32=${BUILD32_RELATIVE}
            -D Build64=${BUILD64_RELATIVE})
if(VIEWER)
  if(NOT EXISTS "${VIEWER}")
    message(FATAL_ERROR "VELK_VIEWER_EXE names '${VIEWER}', which does not exist")
  endif()
  list(APPEND defines -D ViewerExe=${VIEWER_RELATIVE})
endif()

set(draft "${OUT}.draft")
file(REMOVE "${draft}")
execute_process(COMMAND ${WIXL} --arch x64 ${defines} -I ${INCLUDES} -o ${draft} ${WXS}
                WORKING_DIRECTORY / RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "wixl failed on ${WXS}")
endif()
# wixl writes Root="HKMU" as 4; Windows Installer's HKMU is -1 (HKCU\Software\Classes for a
# per-user installation, HKLM for the machine).
# The conditions of the components that belong to one scope (wixl has no component
# conditions): the record of the installation's folder and QVSUPPORT in the environment.
# SecureCustomProperties: the public properties a managed (elevated) installation takes
# from the command line to its server side.
foreach(query
    "UPDATE `Registry` SET `Root` = -1 WHERE `Root` = 4"
    "UPDATE `Component` SET `Condition` = 'ALLUSERS' WHERE `Component` = 'MachineRecord'"
    "UPDATE `Component` SET `Condition` = 'NOT ALLUSERS' WHERE `Component` = 'UserRecord'"
    "UPDATE `Component` SET `Condition` = 'QVSUPPORT AND ALLUSERS' WHERE `Component` = 'MachineQvsupport'"
    "UPDATE `Component` SET `Condition` = 'QVSUPPORT AND NOT ALLUSERS' WHERE `Component` = 'UserQvsupport'"
    "UPDATE `Property` SET `Value` = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;QVSUPPORT;INSTALLDIR' WHERE `Property` = 'SecureCustomProperties'")
  execute_process(COMMAND ${MSIBUILD} ${draft} -q "${query}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "msibuild failed on ${draft}: ${query}")
  endif()
endforeach()
file(RENAME "${draft}" "${OUT}")
