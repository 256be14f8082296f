# Cross-compiles for i686 Windows with mingw-w64's posix-threads compilers (std::thread and
# std::mutex need them), so the Windows DLLs build on a Linux machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(LUMICAP_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${LUMICAP_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LUMICAP_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LUMICAP_MINGW_TRIPLE}-windres)

# Headers and libraries come from the mingw-w64 sysroot only; build tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${LUMICAP_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under Wine's 32-bit loader (wine32) when it is installed; wine64 alone cannot
# start 32-bit programs, so without it the 32-bit build is checked by its exports and imports only.
find_program(LUMICAP_WINE32 NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(LUMICAP_WINE32)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LUMICAP_WINE32})
endif()
