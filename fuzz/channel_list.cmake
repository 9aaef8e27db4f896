lyra_add_fuzzer(fuzz_channel_list
  ${CMAKE_SOURCE_DIR}/channels/channel_list.cpp
  ${CMAKE_SOURCE_DIR}/platform/record_stream.cpp)
