lyra_add_fuzzer(fuzz_frequency_table ${CMAKE_SOURCE_DIR}/channels/frequency_table.cpp)
