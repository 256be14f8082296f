# Cross-compiles for x86_64 Windows with mingw-w64, so the Windows DLLs build on a Linux machine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(LUMICAP_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# Test programs run under Wine's 64-bit loader when it is installed (Debian keeps it out of PATH).
find_program(LUMICAP_WINE NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(LUMICAP_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LUMICAP_WINE})
endif()
