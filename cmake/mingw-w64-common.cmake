# What both mingw-w64 toolchain files share; each sets CMAKE_SYSTEM_PROCESSOR and
# LUMICAP_MINGW_TRIPLE first. The posix-threads compilers are used: std::thread and std::mutex need them.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${LUMICAP_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LUMICAP_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LUMICAP_MINGW_TRIPLE}-windres)

# Headers and libraries come from the mingw-w64 sysroot only; build tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${LUMICAP_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
