# The user guide as HTML, build/docs/guide.html, with its pictures beside it in
# build/docs/screenshots as the HTML links them: pandoc from docs/guide.md (GitHub's
# Markdown, so the headings get the anchors the guide's links name). The release package
# and the MSI take both from there.
find_program(VELK_PANDOC pandoc)
if(NOT VELK_PANDOC)
  message(FATAL_ERROR "pandoc is missing: tools/setup.sh installs it")
endif()
set(docs ${CMAKE_BINARY_DIR}/docs)
file(GLOB screenshots CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/screenshots/*.png)
set(screenshot_copies "")
foreach(png IN LISTS screenshots)
  get_filename_component(name ${png} NAME)
  list(APPEND screenshot_copies ${docs}/screenshots/${name})
endforeach()
add_custom_command(
  OUTPUT ${docs}/guide.html ${screenshot_copies}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${docs}/screenshots
  COMMAND ${CMAKE_COMMAND} -E copy ${screenshots} ${docs}/screenshots/
  COMMAND ${VELK_PANDOC} --from gfm --to html5 --standalone --metadata pagetitle=velk10\ user\ guide
          --output ${docs}/guide.html ${CMAKE_SOURCE_DIR}/docs/guide.md
  DEPENDS ${CMAKE_SOURCE_DIR}/docs/guide.md ${screenshots}
  COMMENT "Writing the user guide as HTML"
  VERBATIM)
add_custom_target(guide_html ALL DEPENDS ${docs}/guide.html ${screenshot_copies})

