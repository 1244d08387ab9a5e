# Runs the screenshot tool inside a Wine virtual desktop; the tool reads every picture
# back and keeps only those that show their window (size, title bar, text):
#   cmake -DWINE_RUN=... -DTOOL=... -DOUT=<folder> -P screenshots.cmake
file(MAKE_DIRECTORY ${OUT})
set(names report-viewer report-viewer-find report-viewer-filter report-viewer-follow options-dialog live-message-window
          velkview-dropped-file velkview-registry-log)
foreach(name ${names})
  file(REMOVE ${OUT}/${name}.png ${OUT}/${name}-rejected.png)
endforeach()
file(REMOVE ${OUT}/checks.txt)
string(REPLACE "/" "\\" out_windows "Z:${OUT}")
execute_process(
  COMMAND ${WINE_RUN} explorer /desktop=velk,1024x768 ${TOOL} ${out_windows}
  RESULT_VARIABLE status
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output
  INPUT_FILE /dev/null)
foreach(name ${names})
  set(png ${OUT}/${name}.png)
  if(EXISTS ${OUT}/${name}-rejected.png)
    file(READ ${OUT}/checks.txt checks)
    message(FATAL_ERROR "${name}-rejected.png does not show its window:\n${checks}")
  elseif(NOT EXISTS ${png})
    message(FATAL_ERROR "${name}.png was not written (status ${status}):\n${output}")
  endif()
  # The signature, then IHDR with a width and height of at least 100 pixels.
  file(READ ${png} head LIMIT 24 HEX)
  string(SUBSTRING "${head}" 0 16 signature)
  string(SUBSTRING "${head}" 32 8 width)
  if(NOT signature STREQUAL "89504e470d0a1a0a" OR width STRLESS "00000064")
    message(FATAL_ERROR "${name}.png is not a plausible picture: ${head}")
  endif()
endforeach()
# The tool stores the pictures uncompressed; ImageMagick, where installed, packs them.
find_program(CONVERT convert)
if(CONVERT)
  foreach(name ${names})
    execute_process(COMMAND ${CONVERT} ${OUT}/${name}.png -strip -define png:compression-level=9
                            ${OUT}/${name}.png RESULT_VARIABLE packed)
  endforeach()
endif()
message(STATUS "screenshots in ${OUT}")
