# Cross-compiles for 32-bit Windows, the player's own architecture, with mingw-w64 (posix thread
# model). wine64 cannot run these programs here, so there is no emulator: tests build, not run.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(TUNEWELL_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${TUNEWELL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TUNEWELL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TUNEWELL_MINGW_PREFIX}-windres)

# Line tables only: backtraces keep file and line, while full debug info would triple the objects
# and the static links and slow the cross build by a third.
# (A cache entry, since the platform's defaults would append -g after an _INIT value.)
set(CMAKE_C_FLAGS_RELWITHDEBINFO "-O2 -g1 -DNDEBUG" CACHE STRING "C flags, RelWithDebInfo")
set(CMAKE_CXX_FLAGS_RELWITHDEBINFO "-O2 -g1 -DNDEBUG" CACHE STRING "C++ flags, RelWithDebInfo")

set(CMAKE_FIND_ROOT_PATH /usr/${TUNEWELL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
