# The manual page cmake/man_pages.cmake writes from man_fixture.md, a guide with every
# construct a page takes, against Fixture.1 byte for byte, and lint clean under GROFF where
# it is installed. On a difference the page written is printed, to compare or to keep.
#   cmake -DSCRIPT=cmake/man_pages.cmake -DFIXTURE_DIR=tests/docs -DOUTPUT_DIR=DIR [-DGROFF=groff]
#         -P check_man_fixture.cmake
execute_process(COMMAND ${CMAKE_COMMAND} -DGUIDE=${FIXTURE_DIR}/man_fixture.md
    -DOUTPUT_DIR=${OUTPUT_DIR} -DVERSION=1.0.0 -DDATE=2026-01-01 -P ${SCRIPT}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "man_pages.cmake failed on the fixture (status ${status})")
endif()
file(READ ${OUTPUT_DIR}/Fixture.1 written)
file(READ ${FIXTURE_DIR}/Fixture.1 expected)
if(NOT written STREQUAL expected)
  message(FATAL_ERROR "${OUTPUT_DIR}/Fixture.1 differs from ${FIXTURE_DIR}/Fixture.1:\n${written}")
endif()
if(GROFF)
  execute_process(COMMAND ${GROFF} -t -ww -man -z ${OUTPUT_DIR}/Fixture.1
    RESULT_VARIABLE status OUTPUT_VARIABLE said ERROR_VARIABLE said)
  if(NOT status EQUAL 0 OR NOT said STREQUAL "")
    message(FATAL_ERROR "groff -t -ww -man -z on Fixture.1:\n${said}")
  endif()
endif()
