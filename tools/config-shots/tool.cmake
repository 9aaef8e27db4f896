# config-shots opens the settings dialog on the virtual card and saves a
# screenshot of each of its pages, and of the about box, for docs/ and the
# manual. Run it under a virtual X server (scripts/config-shots).
add_executable(config-shots EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(config-shots PRIVATE lyra_core)
add_dependencies(config-shots lyra_data)
