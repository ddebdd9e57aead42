# Tests of arguments, diagnostics, dictionary and .mp2 writer.
plc_add_test(symmap_spine_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/diagnostics_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/symbol_dictionary_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/symbol_map_writer_test.cpp
  LIBRARIES symmap_core)


# Symvex's command line and command file, end to end.
plc_add_test(symvex_cli_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/symvex_cli_test.cpp
  LIBRARIES)
target_compile_definitions(symvex_cli_tests PRIVATE SYMVEX_PATH="$<TARGET_FILE:Symvex>")
add_dependencies(symvex_cli_tests Symvex)
