# Cross-compiles for 32-bit Windows, the player's own architecture, with mingw-w64 (posix thread
# model). wine64 cannot run 32-bit programs here, so there is no emulator: they are built only.

set(CMAKE_SYSTEM_PROCESSOR x86)
set(TUNEWELL_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# The player runs on Windows XP (0x0501): the headers then declare nothing newer, so a call to a
# later function fails to compile here rather than to load there. scripts/check-plugin-dll.sh
# checks what the runtime libraries import.
set(TUNEWELL_WINDOWS_VERSION 0x0501)
