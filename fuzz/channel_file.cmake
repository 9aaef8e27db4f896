lyra_add_fuzzer(fuzz_channel_file
  ${CMAKE_SOURCE_DIR}/channels/channel_file.cpp
  ${CMAKE_SOURCE_DIR}/platform/record_stream.cpp)
