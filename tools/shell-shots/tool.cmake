# shell-shots puts the main window, the TV panel and the mosaic on the screen
# with a drawn stand-in picture and saves screenshots of them for docs/. Run
# it under a virtual X server (scripts/shell-shots).
add_executable(shell-shots EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(shell-shots PRIVATE lyra_core)
add_dependencies(shell-shots lyra_data)
