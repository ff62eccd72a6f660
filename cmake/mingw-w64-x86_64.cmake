# Cross-compiles for 64-bit Windows with mingw-w64 (posix thread model, so std::thread and
# std::mutex work) and runs the built programs under wine64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TUNEWELL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TUNEWELL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TUNEWELL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TUNEWELL_MINGW_PREFIX}-windres)

# -O2 rather than CMake's -O3 for Release: this g++ warns falsely (-Wrestrict) inside
# std::string at -O3. RelWithDebInfo keeps line tables only: backtraces keep file and line,
# while full debug info would triple the objects and slow the cross build by a third.
# (Cache entries, since the platform's defaults would append to _INIT values.)
foreach(lang C CXX)
  set(CMAKE_${lang}_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "${lang} flags, Release")
  set(CMAKE_${lang}_FLAGS_RELWITHDEBINFO "-O2 -g1 -DNDEBUG" CACHE STRING
      "${lang} flags, RelWithDebInfo")
endforeach()

set(CMAKE_FIND_ROOT_PATH /usr/${TUNEWELL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# add_test() and try_run() go through wine; the wrapper keeps the wine prefix in the build folder.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh --prefix=${CMAKE_BINARY_DIR}/wineprefix)
