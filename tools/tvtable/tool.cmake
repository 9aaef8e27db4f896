# Builds the shipped frequency table "TVTable.tbl" from the plan sources in
# data/plans/. The generator compiles only the QtCore plan reader, so it does
# not depend on lyra_core (which itself waits for the staged data).
add_executable(lyra-tvtable
  ${CMAKE_SOURCE_DIR}/tools/tvtable/main.cpp
  ${CMAKE_SOURCE_DIR}/channels/frequency_plan.cpp
  ${CMAKE_SOURCE_DIR}/channels/frequency_table.cpp)
target_include_directories(lyra-tvtable PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(lyra-tvtable PRIVATE Qt6::Core)
set_target_properties(lyra-tvtable PROPERTIES AUTOMOC OFF)

file(GLOB LYRA_PLAN_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/plans/*)
add_custom_command(
  OUTPUT ${LYRA_STAGED_DATA}/TVTable.tbl
  COMMAND ${CMAKE_COMMAND} -E make_directory ${LYRA_STAGED_DATA}
  COMMAND lyra-tvtable ${CMAKE_SOURCE_DIR}/data/plans/records.txt ${LYRA_STAGED_DATA}/TVTable.tbl
  DEPENDS lyra-tvtable ${LYRA_PLAN_SOURCES}
  COMMENT "Building TVTable.tbl from data/plans"
  VERBATIM)
add_custom_target(lyra_tvtable DEPENDS ${LYRA_STAGED_DATA}/TVTable.tbl)
add_dependencies(lyra_data lyra_tvtable)
