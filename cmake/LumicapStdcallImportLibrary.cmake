# Rewrites the i686 import library of lumicap.dll so that C and C++ hosts can link against it.
#
#   cmake -D NM=... -D DLLTOOL=... -D DLL=lumicap.dll -D DEF=lumicap.def -D IMPORT_LIBRARY=liblumicap.dll.a
#         -P LumicapStdcallImportLibrary.cmake
#
# The DLL exports the plain names of the .def file, but a host's calls to the __stdcall functions
# name decorated symbols (_StopPreview@0), which the linker's own import library, made from the plain
# names, lacks. This one is made from the .def names with the DLL's decorations added, and dlltool's
# --kill-at keeps the symbols decorated while importing the plain names.
cmake_minimum_required(VERSION 3.20)

execute_process(COMMAND "${NM}" --defined-only "${DLL}" OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} could not read ${DLL}")
endif()

file(STRINGS "${DEF}" lines)
set(in_exports FALSE)
set(entries)
foreach(line IN LISTS lines)
  string(REGEX REPLACE ";.*" "" line "${line}")
  string(STRIP "${line}" line)
  if(line STREQUAL "EXPORTS")
    set(in_exports TRUE)
  elseif(in_exports AND line MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
    # A name with no decorated symbol in the DLL is a cdecl function and is imported as it is.
    if(symbols MATCHES " T _${line}(@[0-9]+)\n")
      string(APPEND line "${CMAKE_MATCH_1}")
    endif()
    list(APPEND entries "    ${line}")
  endif()
endforeach()
if(NOT entries)
  message(FATAL_ERROR "${DEF} lists no exports")
endif()

get_filename_component(dll_name "${DLL}" NAME)
set(decorated_def "${IMPORT_LIBRARY}.def")
list(JOIN entries "\n" body)
file(WRITE "${decorated_def}" "LIBRARY ${dll_name}\nEXPORTS\n${body}\n")
execute_process(COMMAND "${DLLTOOL}" --dllname "${dll_name}" --input-def "${decorated_def}"
  --output-lib "${IMPORT_LIBRARY}" --kill-at RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${DLLTOOL} could not write ${IMPORT_LIBRARY}")
endif()
