# Cross-compiles ferrox.exe for 64-bit Windows with MinGW-w64 (Debian package
# g++-mingw-w64-x86-64). The program is linked statically, so ferrox.exe runs
# without any DLL beside it.
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
#   cmake --build build-win -j2

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(FERROX_MINGW_PREFIX x86_64-w64-mingw32)
# The POSIX threading flavour is the one Debian installs as the default
# g++-mingw-w64-x86-64; fall back to the unsuffixed name elsewhere.
find_program(FERROX_MINGW_CXX NAMES ${FERROX_MINGW_PREFIX}-g++-posix
                                    ${FERROX_MINGW_PREFIX}-g++ REQUIRED)
find_program(FERROX_MINGW_WINDRES NAMES ${FERROX_MINGW_PREFIX}-windres)
set(CMAKE_CXX_COMPILER ${FERROX_MINGW_CXX})
if(FERROX_MINGW_WINDRES)
  set(CMAKE_RC_COMPILER ${FERROX_MINGW_WINDRES})
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${FERROX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No libstdc++, libgcc or winpthread DLLs at run time.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# GCC 12's libstdc++ makes string concatenation trip a false -Wrestrict
# warning at -O2 (GCC bug 105329); the MinGW build of that version shows it
# throughout, so it is turned off here.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
