# Cross toolchain for Windows through mingw-w64 with the posix thread model;
# included by the toolchain file of each architecture, which sets
# ORVANDEL_WINDOWS_ARCH (i686 or x86_64) first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ORVANDEL_WINDOWS_ARCH})
set(CMAKE_C_COMPILER ${ORVANDEL_WINDOWS_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVANDEL_WINDOWS_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${ORVANDEL_WINDOWS_ARCH}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ORVANDEL_WINDOWS_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Windows programs run under Wine, each with the loader of its own
# architecture; scripts/env.sh prepares the prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
