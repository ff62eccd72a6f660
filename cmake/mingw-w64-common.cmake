# What both mingw-w64 toolchains share; each sets TUNEWELL_MINGW_PREFIX and
# CMAKE_SYSTEM_PROCESSOR before including this.

set(CMAKE_SYSTEM_NAME Windows)

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
