# Installs the build into an empty PREFIX and checks that it holds exactly the programs in
# bin/, the README and the licence in DOC_DIR and the DOCUMENTS (manual pages, guide,
# example project), then runs the installed Symvex on the installed example project and
# compares its symbol map with the expected one. A cross build runs it under EMULATOR (its
# words separated by commas), which sees the build machine's files under PATH_PREFIX.
string(REPLACE "," ";" PROGRAMS "${PROGRAMS}")
string(REPLACE "," ";" DOCUMENTS "${DOCUMENTS}")
string(REPLACE "," ";" EMULATOR "${EMULATOR}")
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}"
  RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()

set(expected "")
foreach(program IN LISTS PROGRAMS)
  list(APPEND expected "bin/${program}${EXE_SUFFIX}")
endforeach()
list(APPEND expected "${DOC_DIR}/LICENSE" "${DOC_DIR}/README.md" ${DOCUMENTS})
list(SORT expected)
file(GLOB_RECURSE installed RELATIVE "${PREFIX}" LIST_DIRECTORIES false "${PREFIX}/*")
list(SORT installed)
if(NOT installed STREQUAL expected)
  message(FATAL_ERROR "installed files:\n  ${installed}\nexpected:\n  ${expected}")
endif()

set(work "${PREFIX}/../run")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}")
execute_process(
  COMMAND ${EMULATOR} "${PREFIX}/bin/Symvex${EXE_SUFFIX}" plc.mp2
    "${PATH_PREFIX}${PREFIX}/${DOC_DIR}/examples/plc.lst"
    "${PATH_PREFIX}${PREFIX}/${DOC_DIR}/examples/KORVEX.map"
  WORKING_DIRECTORY "${work}" RESULT_VARIABLE status OUTPUT_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "installed Symvex ended with ${status}:\n${output}")
endif()
file(READ "${work}/plc.mp2" made HEX)
file(READ "${EXAMPLES_DIR}/plc.mp2" wanted HEX)
if(NOT made STREQUAL wanted)
  message(FATAL_ERROR "installed Symvex wrote a symbol map that differs from examples/plc.mp2")
endif()
