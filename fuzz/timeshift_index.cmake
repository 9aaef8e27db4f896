lyra_add_fuzzer(fuzz_timeshift_index
  ${CMAKE_SOURCE_DIR}/platform/timeshift_index.cpp
  ${CMAKE_SOURCE_DIR}/platform/ps_pack_scanner.cpp)
