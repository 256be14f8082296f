# Cross-compiles for i686 Windows with mingw-w64, so the Windows DLLs build on a Linux machine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LUMICAP_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# Test programs run under Wine's 32-bit loader (wine32) when it is installed and the kernel runs
# 32-bit programs; wine64 alone cannot start them, so otherwise the 32-bit build is checked by its
# exports and imports only.
find_program(LUMICAP_WINE32 NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(LUMICAP_WINE32)
  execute_process(COMMAND ${LUMICAP_WINE32} --version RESULT_VARIABLE lumicap_wine32_status
                  OUTPUT_QUIET ERROR_QUIET TIMEOUT 60)
  if(lumicap_wine32_status EQUAL 0)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${LUMICAP_WINE32})
  endif()
endif()
