# The version header, generated from project(... VERSION ...): marqel_version.h, for the core's
# version record, the Windows resource and any program's --version. Link marqel_version to
# include it.
function(marqel_padded out number width)
  string(LENGTH "${number}" length)
  if(length GREATER width)
    message(FATAL_ERROR "version part ${number} has more than ${width} digits")
  endif()
  math(EXPR zeros "${width} - ${length}")
  string(REPEAT "0" ${zeros} padding)
  set(${out} "${padding}${number}" PARENT_SCOPE)
endfunction()

marqel_padded(minor2 ${PROJECT_VERSION_MINOR} 2)
marqel_padded(revision4 ${PROJECT_VERSION_PATCH} 4)
set(MARQEL_RECORD_VERSION "${PROJECT_VERSION_MAJOR}.${minor2}.${revision4}")

configure_file(${CMAKE_CURRENT_LIST_DIR}/marqel_version.h.in
               ${PROJECT_BINARY_DIR}/generated/marqel_version.h @ONLY)
add_library(marqel_version INTERFACE)
target_include_directories(marqel_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
