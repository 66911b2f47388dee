# Cross build for 64-bit Windows with mingw-w64, run under wine:
#
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DOLVO_BUILD_GUI=OFF
#
# The posix thread model is needed: the default (win32) compiler has no std::thread. Programs are
# linked statically, the compiler's own runtime included, so that an .exe runs on its own without
# the mingw DLLs beside it. ctest, gtest_discover_tests and build-time tools run through wine.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${_triplet}-windres)
set(CMAKE_AR ${_triplet}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${_triplet}-ranlib CACHE FILEPATH "")

# Programs (the build's own tools) come from the build machine, libraries, headers and packages
# from the target's root only: a header of the build machine's C library must never be seen.
set(CMAKE_FIND_ROOT_PATH /usr/${_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# windows.h would otherwise define min and max as macros.
set(CMAKE_CXX_FLAGS_INIT "-DNOMINMAX")

# Debian installs the 64-bit loader as "wine" (there is no "wine64" command).
find_program(OLVO_WINE NAMES wine wine64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${OLVO_WINE})
