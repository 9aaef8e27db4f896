lyra_add_fuzzer(fuzz_record_stream ${CMAKE_SOURCE_DIR}/platform/record_stream.cpp)
