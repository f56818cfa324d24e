# Cross-builds Kestrun for 64-bit Windows with Debian's mingw-w64 (the -posix
# flavour, whose C++ library has std::thread). Everything is linked
# statically, so that an executable runs under wine, or on Windows, without
# the compiler's DLLs beside it; CTest runs the tests through wine.
#   cmake -S . -B build-windows -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KESTRUN_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KESTRUN_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTRUN_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KESTRUN_MINGW_TRIPLET}-windres)

# Libraries and headers come from the mingw tree only, programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${KESTRUN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# The tests run under wine; tests/windows/wine-run.sh gives it the display and
# prefix of the session the tests start.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/windows/wine-run.sh)
endif()
