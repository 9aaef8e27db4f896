lyra_add_fuzzer(fuzz_transport_stream
  ${CMAKE_SOURCE_DIR}/playback/playback_files.cpp)
