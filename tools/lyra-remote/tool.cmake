# lyra-remote: sends commands to the running program and reads its state.
add_executable(lyra-remote ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(lyra-remote PRIVATE lyra_engine)
install(TARGETS lyra-remote RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
