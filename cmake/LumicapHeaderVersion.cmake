# The version lives in project(VERSION); lumicap.h states it for hosts as LUMICAP_VERSION_MAJOR,
# _MINOR, _PATCH and _STRING. A header that disagrees stops the configuration, so a version bump
# cannot ship a header, a version resource and an archive name that tell different versions.
function(lumicap_check_header_version header)
  file(STRINGS "${header}" lines REGEX "^#define LUMICAP_VERSION_(MAJOR|MINOR|PATCH|STRING) ")
  set(found)
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^#define LUMICAP_VERSION_([A-Z]+) +\"?([0-9.]+)\"?.*$" "\\1=\\2" entry "${line}")
    list(APPEND found "${entry}")
  endforeach()
  set(expected "MAJOR=${PROJECT_VERSION_MAJOR}" "MINOR=${PROJECT_VERSION_MINOR}" "PATCH=${PROJECT_VERSION_PATCH}"
    "STRING=${PROJECT_VERSION}")
  if(NOT found STREQUAL expected)
    message(FATAL_ERROR "${header} states the version as ${found}; project(VERSION) is ${PROJECT_VERSION}: "
      "update its LUMICAP_VERSION_* macros")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${header}")
endfunction()
