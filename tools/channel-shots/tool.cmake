# channel-shots runs the set-up wizard's table scan on the virtual card and
# saves screenshots of the wizard's pages and the frequency table editor for
# docs/. Run it under a virtual X server (scripts/channel-shots).
add_executable(channel-shots EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(channel-shots PRIVATE lyra_core)
add_dependencies(channel-shots lyra_data)
