# tallon: the scheduling agent. Its schedule, firing and timers build into
# tallon_core (for the tests); the window lives in forms/.
add_library(tallon_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/schedule.cpp ${CMAKE_CURRENT_LIST_DIR}/schedule.h
  ${CMAKE_CURRENT_LIST_DIR}/agent.cpp ${CMAKE_CURRENT_LIST_DIR}/agent.h
  ${CMAKE_CURRENT_LIST_DIR}/timers.cpp ${CMAKE_CURRENT_LIST_DIR}/timers.h)
target_link_libraries(tallon_core PUBLIC lyra_engine)
add_executable(tallon ${CMAKE_CURRENT_LIST_DIR}/main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/forms/schedule_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/forms/schedule_window.h)
target_link_libraries(tallon PRIVATE tallon_core Qt6::Widgets)
install(TARGETS tallon RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
