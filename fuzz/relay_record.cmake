lyra_add_fuzzer(fuzz_relay_record
  ${CMAKE_SOURCE_DIR}/playback/scheduled_record.cpp
  ${CMAKE_SOURCE_DIR}/platform/safe_file.cpp
  ${CMAKE_SOURCE_DIR}/platform/log.cpp)
