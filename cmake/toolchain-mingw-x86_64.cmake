# Cross-compiles for x86_64 Windows with mingw-w64's posix-threads compilers (std::thread and
# std::mutex need them), so the Windows DLLs build on a Linux machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LUMICAP_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LUMICAP_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LUMICAP_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LUMICAP_MINGW_TRIPLE}-windres)

# Headers and libraries come from the mingw-w64 sysroot only; build tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${LUMICAP_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under Wine's 64-bit loader when it is installed (Debian keeps it out of PATH).
find_program(LUMICAP_WINE NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(LUMICAP_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LUMICAP_WINE})
endif()
