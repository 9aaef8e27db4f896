# Stages data/ into the build tree. Generated data (frequency tables, skins)
# adds its own commands to the lyra_data target through LYRA_GENERATED_DATA.
file(GLOB_RECURSE LYRA_DATA_FILES CONFIGURE_DEPENDS
  RELATIVE ${CMAKE_SOURCE_DIR}/data ${CMAKE_SOURCE_DIR}/data/*)
set(LYRA_STAGED_FILES)
foreach(f ${LYRA_DATA_FILES})
  # Plan sources and other inputs of generators are not shipped; linux/ holds
  # the desktop entry and metainfo, installed to their own places.
  if(f MATCHES "^(plans|src|linux)/")
    continue()
  endif()
  add_custom_command(
    OUTPUT ${LYRA_STAGED_DATA}/${f}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different
            ${CMAKE_SOURCE_DIR}/data/${f} ${LYRA_STAGED_DATA}/${f}
    DEPENDS ${CMAKE_SOURCE_DIR}/data/${f}
    VERBATIM)
  list(APPEND LYRA_STAGED_FILES ${LYRA_STAGED_DATA}/${f})
endforeach()

# The manual: docs/manual/Lyra_<language>.html beside the language-less
# page in doc/, with the screenshots they show in doc/images/.
file(GLOB LYRA_MANUAL_PAGES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/manual/Lyra_*.html)
set(LYRA_MANUAL_IMAGES)
foreach(page ${LYRA_MANUAL_PAGES})
  get_filename_component(name ${page} NAME)
  add_custom_command(
    OUTPUT ${LYRA_STAGED_DATA}/doc/${name}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${page} ${LYRA_STAGED_DATA}/doc/${name}
    DEPENDS ${page}
    VERBATIM)
  list(APPEND LYRA_STAGED_FILES ${LYRA_STAGED_DATA}/doc/${name})
  file(STRINGS ${page} lines REGEX "src=\"images/[^\"]+\"")
  foreach(line ${lines})
    string(REGEX MATCHALL "images/[^\"]+" found "${line}")
    list(APPEND LYRA_MANUAL_IMAGES ${found})
  endforeach()
endforeach()
list(REMOVE_DUPLICATES LYRA_MANUAL_IMAGES)
foreach(image ${LYRA_MANUAL_IMAGES})
  string(REPLACE "images/" "" file ${image})
  add_custom_command(
    OUTPUT ${LYRA_STAGED_DATA}/doc/${image}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different
            ${CMAKE_SOURCE_DIR}/docs/${file} ${LYRA_STAGED_DATA}/doc/${image}
    DEPENDS ${CMAKE_SOURCE_DIR}/docs/${file}
    VERBATIM)
  list(APPEND LYRA_STAGED_FILES ${LYRA_STAGED_DATA}/doc/${image})
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${LYRA_MANUAL_PAGES})

set_property(GLOBAL PROPERTY LYRA_GENERATED_DATA "")
add_custom_target(lyra_data ALL DEPENDS ${LYRA_STAGED_FILES})
