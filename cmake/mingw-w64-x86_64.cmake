# Cross-builds 64-bit Windows programs with Debian's mingw-w64 compilers (the
# -posix thread variant, so std::thread and std::mutex are there). Every program
# is one .exe that runs on a bare Windows: libgcc, libstdc++ and winpthread are
# linked in statically. Tests run the programs through wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(GWPOST_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${GWPOST_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GWPOST_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${GWPOST_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${GWPOST_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# wine, quiet, in a prefix of the build tree that it creates on first use.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine_run.sh)
