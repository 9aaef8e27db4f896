# avsync: measures the offset between the sync marks' flash and click in a
# recording.
add_executable(avsync ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(avsync PRIVATE lyra_core)
