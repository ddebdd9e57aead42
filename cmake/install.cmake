# What a machine builder gets: the programs in bin/, their manual pages in share/man/man1/
# (not on Windows), and in share/doc/plc-postlink/ the user's guide, the README with the
# licence, and the example project. Nothing of the test suite or the generator is installed.
include(GNUInstallDirs)
# The documentation folder bears the Debian package's name, in every package alike, unless
# the builder chose one (-DCMAKE_INSTALL_DOCDIR=...).
if(CMAKE_INSTALL_DOCDIR STREQUAL "${CMAKE_INSTALL_DATAROOTDIR}/doc/${PROJECT_NAME}")
  set(CMAKE_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/plc-postlink)
endif()

set(PLC_INSTALLED_PROGRAMS Symvex Tessan Orlund Plcinfo)
install(TARGETS ${PLC_INSTALLED_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

if(WIN32)
  # Windows opens the guide as text, with the line ends of its own.
  configure_file(docs/user-guide.md ${PROJECT_BINARY_DIR}/user-guide.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/user-guide.txt DESTINATION ${CMAKE_INSTALL_DOCDIR})
else()
  install(FILES docs/user-guide.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

  # The manual pages are written from the guide's chapters on the programs at every build
  # (cmake/man_pages.cmake), so the two cannot drift apart.
  string(TIMESTAMP PLC_MAN_DATE "%Y-%m-%d" UTC)
  set(PLC_MAN_PAGES "")
  foreach(program IN LISTS PLC_INSTALLED_PROGRAMS)
    list(APPEND PLC_MAN_PAGES ${PROJECT_BINARY_DIR}/man/${program}.1)
  endforeach()
  add_custom_command(OUTPUT ${PLC_MAN_PAGES}
    COMMAND ${CMAKE_COMMAND} -DGUIDE=${PROJECT_SOURCE_DIR}/docs/user-guide.md
      -DOUTPUT_DIR=${PROJECT_BINARY_DIR}/man -DVERSION=${PROJECT_VERSION} -DDATE=${PLC_MAN_DATE}
      -P ${PROJECT_SOURCE_DIR}/cmake/man_pages.cmake
    DEPENDS docs/user-guide.md cmake/man_pages.cmake
    COMMENT "Writing the manual pages from the user's guide")
  add_custom_target(man_pages ALL DEPENDS ${PLC_MAN_PAGES})
  install(FILES ${PLC_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# The example project of the guide's worked example. Its linked executable is made from its
# description by the generator, where the build has one that runs here (not in a cross build).
set(PLC_EXAMPLE_FILES plc.lst KORVEX.map Make.knf PLC_ENDP.DAT plc.mp2)
list(TRANSFORM PLC_EXAMPLE_FILES PREPEND ${PROJECT_SOURCE_DIR}/examples/)
install(FILES ${PLC_EXAMPLE_FILES} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
if(TARGET plcgen AND NOT CMAKE_CROSSCOMPILING)
  set(PLC_EXAMPLE_EXECUTABLE ${PROJECT_BINARY_DIR}/examples/KORVEX.EXE)
  add_custom_command(OUTPUT ${PLC_EXAMPLE_EXECUTABLE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/examples
    COMMAND plcgen ${PROJECT_SOURCE_DIR}/examples/KORVEX.plcgen ${PLC_EXAMPLE_EXECUTABLE}
    DEPENDS plcgen examples/KORVEX.plcgen
    COMMENT "Linking the example project's KORVEX.EXE from its description")
  add_custom_target(example_executable ALL DEPENDS ${PLC_EXAMPLE_EXECUTABLE})
  install(FILES ${PLC_EXAMPLE_EXECUTABLE} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
endif()

# `cpack` in a build folder: a .tar.gz on Linux, a .zip for Windows, named with the version
# and the system, e.g. PlcPostLink-1.0.0-Linux.tar.gz. `cpack -G DEB` makes the Debian package
# plc-postlink_1.0.0_amd64.deb of the same tree under /usr.
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR "PLC post-link tool chain")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "PLC post-link tool chain for CNC machine builders")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR TGZ)
endif()

set(CPACK_DEBIAN_PACKAGE_NAME plc-postlink)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "PLC post-link tool chain <plc-postlink@example.org>")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Symvex writes the symbol map of a machine's PLC program from its assembler
listing and linker map, Tessan cuts the seventeen PLC images out of the linked
program, Orlund joins them into the file the control loads, and Plcinfo checks
images, joined files and symbol maps and compares two builds.")
# The libraries the programs need, as dpkg-shlibdeps (package dpkg-dev) finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Debian's own layout of the documentation: compressed manual pages, copyright, changelog.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/debian_layout.cmake)
set(CPACK_PLC_SOURCE_DIR ${PROJECT_SOURCE_DIR})
include(CPack)
