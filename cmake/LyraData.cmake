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
set_property(GLOBAL PROPERTY LYRA_GENERATED_DATA "")
add_custom_target(lyra_data ALL DEPENDS ${LYRA_STAGED_FILES})
