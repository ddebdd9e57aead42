# Cross build for 64-bit Windows with the MinGW-w64 tool chain (Debian package
# g++-mingw-w64-x86-64-posix). The programs and the test programs are linked statically, so a
# bare Windows needs no DLL of the tool chain. Under the cross build the tests run under Wine
# (Debian package wine64), in a Wine prefix of the build folder's own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PLC_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PLC_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PLC_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${PLC_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PLC_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# wine64 is not on the PATH on Debian; its loader lives beside the server.
find_program(PLC_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(PLC_WINE64)
  set(PLC_WINE_PREFIX "${CMAKE_BINARY_DIR}/wine-prefix" CACHE PATH "Wine prefix of the tests")
  set(CMAKE_CROSSCOMPILING_EMULATOR
      env "WINEPREFIX=${PLC_WINE_PREFIX}" WINEDEBUG=-all "${PLC_WINE64}")
endif()
