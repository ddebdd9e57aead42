# The generator of linked PLC programs (tests, the example, benchmarks) and its command-line
# tool; no GoogleTest needed, so the example can be built without the test suite.
add_library(plc_generator STATIC ${CMAKE_CURRENT_LIST_DIR}/plc_generator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plc_listing.cpp)
target_include_directories(plc_generator PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(plc_generator PUBLIC plc_build_flags)

add_executable(plcgen ${CMAKE_CURRENT_LIST_DIR}/plcgen_main.cpp)
target_link_libraries(plcgen PRIVATE plc_generator)

# What the tests and the fuzz targets know of the image files (names, header, comment block,
# the images a correct run writes), independently of the programs.
add_library(image_files STATIC ${CMAKE_CURRENT_LIST_DIR}/image_files.cpp)
target_link_libraries(image_files PUBLIC plc_generator)
