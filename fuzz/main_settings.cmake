lyra_add_fuzzer(fuzz_main_settings
  ${CMAKE_SOURCE_DIR}/app/main_settings.cpp
  ${CMAKE_SOURCE_DIR}/app/main_info.cpp
  ${CMAKE_SOURCE_DIR}/app/audio_adjust.cpp
  ${CMAKE_SOURCE_DIR}/app/line_in_monitor.cpp
  ${CMAKE_SOURCE_DIR}/channels/country_info.cpp
  ${CMAKE_SOURCE_DIR}/channels/languages.cpp
  ${CMAKE_SOURCE_DIR}/platform/messages.cpp
  ${CMAKE_SOURCE_DIR}/platform/program_folder.cpp
  ${CMAKE_SOURCE_DIR}/platform/record_stream.cpp
  ${CMAKE_SOURCE_DIR}/platform/safe_file.cpp
  ${CMAKE_SOURCE_DIR}/platform/log.cpp)
target_link_libraries(fuzz_main_settings PRIVATE Qt6::Gui)
