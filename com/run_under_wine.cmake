# cmake -DWINE_RUN=<tools/wine-run> -DWINEPREFIX=<prefix> -DWINEARCH=<win32|win64> -DLOG=<file> -P run_under_wine.cmake -- <program> <args...>
# Runs a Windows build tool under Wine. Its output goes to LOG, not to the build's own
# output: the Wine server that the first Wine process starts stays behind and would keep
# that output open, so a build whose output is piped would never see it end. The log is
# shown when the tool fails.
set(command)
set(collect OFF)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE ${last})
  if(collect)
    list(APPEND command "${CMAKE_ARGV${i}}")
  elseif("${CMAKE_ARGV${i}}" STREQUAL "--")
    set(collect ON)
  endif()
endforeach()
set(ENV{WINEPREFIX} "${WINEPREFIX}")
set(ENV{WINEARCH} "${WINEARCH}")
execute_process(
  COMMAND "${WINE_RUN}" ${command}
  INPUT_FILE /dev/null
  OUTPUT_FILE "${LOG}"
  ERROR_FILE "${LOG}"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(READ "${LOG}" output)
  message(FATAL_ERROR "${command}\nfailed (${status}):\n${output}")
endif()
