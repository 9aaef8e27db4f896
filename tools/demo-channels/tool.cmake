add_executable(demo-channels ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(demo-channels PRIVATE lyra_engine)
add_dependencies(demo-channels lyra_data)
