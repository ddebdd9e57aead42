# Tests of arguments, diagnostics, dictionary and .mp2 writer.
plc_add_test(symmap_spine_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/diagnostics_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/symbol_dictionary_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/symbol_map_writer_test.cpp
  LIBRARIES symmap_core)

