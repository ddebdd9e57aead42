# Run by CPack after it has installed the tree and before it packs it: gives the Debian
# package the documentation layout Debian asks for. Manual pages and the changelog are
# compressed with gzip -9n (no name or time stamp), and the licence is also the package's
# copyright file. The other packages keep the tree as installed.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()

set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(docdir "${root}/share/doc/${CPACK_DEBIAN_PACKAGE_NAME}")
if(NOT IS_DIRECTORY "${docdir}")
  message(FATAL_ERROR "no documentation folder ${docdir} in the package tree")
endif()

find_program(GZIP gzip REQUIRED)
file(GLOB pages "${root}/share/man/man1/*.1")
foreach(page IN LISTS pages)
  execute_process(COMMAND ${GZIP} -9nf "${page}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()

file(COPY_FILE "${CPACK_PLC_SOURCE_DIR}/LICENSE" "${docdir}/copyright")

string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE "${docdir}/changelog"
  "${CPACK_DEBIAN_PACKAGE_NAME} (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium\n\n"
  "  * Release ${CPACK_PACKAGE_VERSION} of the PLC post-link tool chain.\n\n"
  " -- ${CPACK_DEBIAN_PACKAGE_MAINTAINER}  ${date}\n")
execute_process(COMMAND ${GZIP} -9nf "${docdir}/changelog" COMMAND_ERROR_IS_FATAL ANY)
