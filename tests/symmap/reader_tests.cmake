# Tests of the scanner, the listing parser and the linker-map reader.
plc_add_test(symmap_reader_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/reader_test_support.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scanner_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/listing_parser_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/map_reader_test.cpp
  LIBRARIES symmap_core)

# Symvex end to end on listings and maps.
plc_add_test(symvex_reader_e2e_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/symvex_readers_e2e_test.cpp
  LIBRARIES)
target_compile_definitions(symvex_reader_e2e_tests PRIVATE SYMVEX_PATH="$<TARGET_FILE:Symvex>")
add_dependencies(symvex_reader_e2e_tests Symvex)
