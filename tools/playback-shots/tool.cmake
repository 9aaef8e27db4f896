# playback-shots opens the Playback dialog on a done list of a few recordings
# and the play-list window beside a stand-in main window, and saves
# screenshots of both for docs/. Run it under a virtual X server
# (scripts/playback-shots).
add_executable(playback-shots EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(playback-shots PRIVATE lyra_core)
add_dependencies(playback-shots lyra_data)
