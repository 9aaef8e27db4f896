# corvet: the line-in monitor, started and stopped by the program. It sits
# beside the lyra binary, in the build tree as where it is installed.
add_executable(corvet ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(corvet PRIVATE lyra_engine)
set_target_properties(corvet PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
install(TARGETS corvet RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
