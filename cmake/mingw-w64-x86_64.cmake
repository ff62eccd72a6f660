# Cross-compiles for 64-bit Windows with mingw-w64 (posix thread model, so std::thread and
# std::mutex work) and runs the built programs under wine64.

set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TUNEWELL_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# add_test() and try_run() go through wine; the wrapper keeps the wine prefix in the build folder.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh --prefix=${CMAKE_BINARY_DIR}/wineprefix)
