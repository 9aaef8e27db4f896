lyra_add_fuzzer(fuzz_languages
  ${CMAKE_SOURCE_DIR}/channels/languages.cpp
  ${CMAKE_SOURCE_DIR}/platform/program_folder.cpp
  ${CMAKE_SOURCE_DIR}/platform/log.cpp)
