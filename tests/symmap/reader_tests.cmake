# Tests of the scanner, the listing parser and the linker-map reader.
plc_add_test(symmap_reader_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/reader_test_support.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scanner_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/listing_parser_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/linker_map_reader_test.cpp
  LIBRARIES symmap_core)
