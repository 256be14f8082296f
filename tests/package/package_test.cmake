# Installs the built tree into a scratch prefix and uses it as a host project would.
#
#   cmake -D BUILD_DIR=... -D WORK_DIR=... -D CONSUMER_DIR=... -D CONFIG=... -D VERSION=x.y.z
#         -D LIBDIR=lib -D TARGET_WINDOWS=0|1 -D PLATFORM=windows|virtual -D GENERATOR=...
#         -D CXX_COMPILER=... [-D CXX_FLAGS=...] [-D LINKER_FLAGS=...] [-D TOOLCHAIN_FILE=...]
#         [-D C_COMPILER=... -D C_FLAGS=... -D C_CONSUMER=c_consumer.c]
#         [-D EMULATOR=wine-loader -D WINE_RUN=scripts/wine-run.sh] -P package_test.cmake
#
# Checks that the install holds exactly the public files (nothing internal), that its CMake files
# name neither the source nor the build tree, that the version file accepts this version and rejects
# another major one, that the prefix still works after being moved, and that a consumer configures,
# builds and lists the two virtual cameras through lumicap::lumicap: run natively on Linux, under
# Wine (WINEPREFIX set) for the virtual Windows DLL; the real Windows DLL has no camera under Wine, so
# its consumer is only built. On Linux a plain C program is also built with what the installed
# lumicap.pc says (pkg-config --cflags --libs lumicap) and run. On Windows it also checks the DLL's
# version resource.
cmake_minimum_required(VERSION 3.20)

foreach(required BUILD_DIR WORK_DIR CONSUMER_DIR VERSION LIBDIR PLATFORM GENERATOR CXX_COMPILER)
  if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
    message(FATAL_ERROR "package_test: ${required} is not set")
  endif()
endforeach()

set(failures 0)
function(check condition_text)
  if(${ARGN})
    message(STATUS "PASS: ${condition_text}")
  else()
    message(STATUS "FAIL: ${condition_text}")
    math(EXPR count "${failures} + 1")
    set(failures ${count} PARENT_SCOPE)
  endif()
endfunction()

# Runs a command; stops the test with its output when it fails.
function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "package_test: ${what} failed (${status})\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
set(stage "${WORK_DIR}/stage")
set(cmake_dir "${LIBDIR}/cmake/lumicap")

set(config_args)
if(CONFIG)
  set(config_args --config ${CONFIG})
endif()
run("cmake --install" ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${stage}" ${config_args})

# Exactly the public files: a header, a library or an object file more is a leak of the insides.
file(GLOB_RECURSE installed RELATIVE "${stage}" "${stage}/*")
list(SORT installed)
set(expected
  include/lumicap/lumicap.h
  ${cmake_dir}/lumicapConfig.cmake
  ${cmake_dir}/lumicapConfigVersion.cmake
  ${cmake_dir}/lumicapTargets.cmake)
if(PLATFORM STREQUAL "virtual")
  list(APPEND expected include/lumicap/lumicap_virtual.h)
endif()
if(TARGET_WINDOWS)
  list(APPEND expected bin/lumicap.dll ${LIBDIR}/liblumicap.dll.a ${LIBDIR}/lumicap.def)
else()
  string(REGEX MATCH "^[0-9]+" major "${VERSION}")
  list(APPEND expected include/lumicap/portable/win32.h ${LIBDIR}/pkgconfig/lumicap.pc
    ${LIBDIR}/liblumicap.so ${LIBDIR}/liblumicap.so.${major} ${LIBDIR}/liblumicap.so.${VERSION})
endif()
set(per_config)
foreach(file IN LISTS installed)
  if(file MATCHES "^${cmake_dir}/lumicapTargets-[a-z]+\\.cmake$")
    list(APPEND per_config ${file})
  endif()
endforeach()
list(LENGTH per_config per_config_count)
check("one per-configuration targets file (${per_config})" per_config_count EQUAL 1)
list(REMOVE_ITEM installed ${per_config})
list(SORT expected)
check("installed exactly: ${expected} (got: ${installed})" installed STREQUAL expected)

# A package that names the tree it was built in breaks as soon as that tree is gone or moved.
get_filename_component(build_real "${BUILD_DIR}" REALPATH)
get_filename_component(source_real "${CONSUMER_DIR}/../../.." REALPATH)
file(GLOB cmake_files "${stage}/${cmake_dir}/*.cmake" "${stage}/${LIBDIR}/pkgconfig/*.pc")
foreach(file IN LISTS cmake_files)
  file(READ "${file}" text)
  string(FIND "${text}" "${build_real}" in_build)
  string(FIND "${text}" "${source_real}/" in_source)
  get_filename_component(name "${file}" NAME)
  check("${name} names neither the build nor the source tree" in_build EQUAL -1 AND in_source EQUAL -1)
endforeach()

# The version file as find_package uses it: this version is accepted, the next major one is not.
function(version_accepts wanted out)
  set(PACKAGE_FIND_NAME lumicap)
  set(PACKAGE_FIND_VERSION ${wanted})
  string(REPLACE "." ";" parts "${wanted}")
  list(GET parts 0 PACKAGE_FIND_VERSION_MAJOR)
  list(GET parts 1 PACKAGE_FIND_VERSION_MINOR)
  list(GET parts 2 PACKAGE_FIND_VERSION_PATCH)
  set(PACKAGE_FIND_VERSION_COUNT 3)
  set(PACKAGE_VERSION_COMPATIBLE FALSE)
  include("${stage}/${cmake_dir}/lumicapConfigVersion.cmake")
  set(${out} "${PACKAGE_VERSION_COMPATIBLE}|${PACKAGE_VERSION}" PARENT_SCOPE)
endfunction()
string(REGEX MATCH "^[0-9]+" major "${VERSION}")
math(EXPR next_major "${major} + 1")
version_accepts(${VERSION} same)
version_accepts(${next_major}.0.0 newer)
check("the version file reports ${VERSION} and accepts it (${same})" same STREQUAL "TRUE|${VERSION}")
check("the version file rejects ${next_major}.0.0 (${newer})" newer MATCHES "^FALSE\\|")

if(TARGET_WINDOWS)
  # Explorer's Details tab reads these UTF-16 strings from the version resource.
  # Only the strings of interest: a list of every string in a binary is broken by stray brackets.
  file(STRINGS "${stage}/bin/lumicap.dll" resource_strings ENCODING UTF-16LE
    REGEX "^(Lumicap camera library|[0-9]+\\.[0-9]+\\.[0-9]+)$")
  list(FIND resource_strings "Lumicap camera library" description)
  list(FIND resource_strings "${VERSION}" file_version)
  check("lumicap.dll carries its version resource" NOT description EQUAL -1 AND NOT file_version EQUAL -1)
endif()

# The consumer uses the prefix from elsewhere, under a name with a space, as a relocated install.
set(prefix "${WORK_DIR}/moved prefix")
file(RENAME "${stage}" "${prefix}")
set(consumer_build "${WORK_DIR}/consumer")
set(configure_args -S "${CONSUMER_DIR}" -B "${consumer_build}" -G "${GENERATOR}"
  "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}" "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
  "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}")
if(CONFIG)
  list(APPEND configure_args "-DCMAKE_BUILD_TYPE=${CONFIG}")
endif()
if(TOOLCHAIN_FILE)
  # A cross toolchain searches packages only inside its sysroot, so the package is named directly.
  list(APPEND configure_args "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE}" "-Dlumicap_DIR=${prefix}/${cmake_dir}")
else()
  list(APPEND configure_args "-DCMAKE_PREFIX_PATH=${prefix}")
endif()
run("configuring the consumer" ${CMAKE_COMMAND} ${configure_args})
run("building the consumer" ${CMAKE_COMMAND} --build "${consumer_build}")
message(STATUS "built the consumer against lumicap::lumicap")

set(consumer_command)
if(NOT TARGET_WINDOWS)
  set(consumer_command "${consumer_build}/lumicap_consumer")
elseif(PLATFORM STREQUAL "virtual" AND EMULATOR)
  # Loaded by name from the program's folder, as an application ships it.
  file(COPY "${prefix}/bin/lumicap.dll" DESTINATION "${consumer_build}")
  set(consumer_command bash "${WINE_RUN}" "${EMULATOR}" "${consumer_build}/lumicap_consumer.exe")
endif()
if(consumer_command)
  execute_process(COMMAND ${consumer_command} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  message(STATUS "${out}${err}")
  check("the consumer lists the two virtual cameras (exit ${status})" status EQUAL 0 AND out MATCHES "consumer: 2 cameras")
endif()

# pkg-config, for builds without CMake: the flags it gives must build and run a plain C host.
if(NOT TARGET_WINDOWS AND C_CONSUMER)
  find_program(PKG_CONFIG_EXECUTABLE pkg-config)
  if(NOT PKG_CONFIG_EXECUTABLE)
    message(FATAL_ERROR "package_test: pkg-config not found; scripts/install-deps.sh installs it")
  endif()
  set(ENV{PKG_CONFIG_PATH} "${prefix}/${LIBDIR}/pkgconfig")
  run("pkg-config --modversion lumicap" ${PKG_CONFIG_EXECUTABLE} --modversion lumicap)
  string(STRIP "${run_output}" modversion)
  check("pkg-config reports version ${VERSION} (${modversion})" modversion STREQUAL VERSION)
  run("pkg-config --cflags --libs lumicap" ${PKG_CONFIG_EXECUTABLE} --cflags --libs lumicap)
  separate_arguments(pkg_flags UNIX_COMMAND "${run_output}")
  run("pkg-config --variable=libdir lumicap" ${PKG_CONFIG_EXECUTABLE} --variable=libdir lumicap)
  # pkg-config escapes the spaces of the path; the shell's rules take them out again.
  separate_arguments(pkg_libdir UNIX_COMMAND "${run_output}")
  separate_arguments(compiler_flags UNIX_COMMAND "${C_FLAGS} ${LINKER_FLAGS}")
  set(c_consumer "${WORK_DIR}/c_consumer")
  run("building the C consumer with pkg-config's flags (${pkg_flags})" ${C_COMPILER} ${compiler_flags}
    -std=c11 -Wall -Wextra -Werror "${C_CONSUMER}" ${pkg_flags} -o "${c_consumer}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env "LD_LIBRARY_PATH=${pkg_libdir}" "${c_consumer}"
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  message(STATUS "${out}${err}")
  check("the pkg-config C consumer runs: version ${VERSION}, MF_E_NOT_INITIALIZED before CreateInstance, the two virtual cameras (exit ${status})"
    status EQUAL 0 AND out MATCHES "lumicap ${VERSION}, early InitializeCamera 0xC00D36B6, 2 cameras: \"Lumicap Virtual Camera\" \"Lumicap Virtual Rear Camera\"")
endif()

if(failures GREATER 0)
  message(FATAL_ERROR "package_test: ${failures} check(s) failed")
endif()
message(STATUS "package_test: all checks passed")
