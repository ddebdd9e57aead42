# What a machine builder gets: the programs in bin/ and the documentation in
# share/doc/PlcPostLink/. Nothing of the test suite or the generator is installed.
include(GNUInstallDirs)

set(PLC_INSTALLED_PROGRAMS Symvex Tessan Orlund Plcinfo)
install(TARGETS ${PLC_INSTALLED_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

# `cpack` in a build folder: a .tar.gz on Linux, a .zip for Windows, named with the version
# and the system, e.g. PlcPostLink-1.0.0-Linux.tar.gz.
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR "PLC post-link tool chain")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${PROJECT_DESCRIPTION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR TGZ)
endif()
include(CPack)
