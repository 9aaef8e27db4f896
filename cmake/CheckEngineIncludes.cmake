cmake_minimum_required(VERSION 3.25)
# Fails the build when engine code (everything outside a forms/ folder and
# the video window) includes a Qt Widgets header, a form's header or the
# video window widget. Run as a script:
#   cmake -DSOURCES_FILE=<list> -DWIDGETS_DIR=<QtWidgets include dir> -DSTAMP=<file> -P CheckEngineIncludes.cmake
file(STRINGS "${SOURCES_FILE}" sources)
file(GLOB widget_headers RELATIVE "${WIDGETS_DIR}" "${WIDGETS_DIR}/*")
set(found "")
foreach(src IN LISTS sources)
  file(STRINGS "${src}" lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"]")
      continue()
    endif()
    set(inc "${CMAKE_MATCH_1}")
    string(REGEX REPLACE "^QtWidgets/" "" name "${inc}")
    if(inc MATCHES "^QtWidgets/" OR name IN_LIST widget_headers
       OR inc MATCHES "(^|/)forms/" OR inc STREQUAL "platform/video_window.h")
      list(APPEND found "  ${src}: #include ${inc}")
    endif()
  endforeach()
endforeach()
if(found)
  list(JOIN found "\n" text)
  message(FATAL_ERROR "Engine code must not include widgets (forms live in a forms/ folder and "
                      "reach the engines through interfaces):\n${text}")
endif()
file(TOUCH "${STAMP}")
