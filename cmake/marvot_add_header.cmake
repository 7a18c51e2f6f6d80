# marvot_add_header(<header> LISTING <listing> [ARRAY <array_name>])
#
# Makes <header> (relative: under the current binary folder) from the listing
# <listing> (relative: under the current source folder) with marvot, whenever
# the listing or marvot changes. <array_name> defaults to the header's file
# name up to its first point, and must then be a C identifier. A target that
# lists the header among its sources gets it before it compiles.
#
# A run that succeeds prints nothing. One that fails shows what marvot printed
# and leaves the header as it was, out of date, so that the next build runs
# marvot again.

function(marvot_add_header header)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "LISTING;ARRAY" "")
  if(arg_UNPARSED_ARGUMENTS OR NOT arg_LISTING)
    message(FATAL_ERROR "usage: marvot_add_header(<header> LISTING <listing> [ARRAY <array_name>])")
  endif()
  cmake_path(ABSOLUTE_PATH header BASE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}" NORMALIZE)
  cmake_path(ABSOLUTE_PATH arg_LISTING BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}"
             NORMALIZE OUTPUT_VARIABLE listing)
  if(header STREQUAL listing)
    message(FATAL_ERROR "marvot_add_header: the header ${header} is the listing itself")
  endif()
  set(array "${arg_ARRAY}")
  if(NOT DEFINED arg_ARRAY)
    cmake_path(GET header FILENAME array)
  endif()
  string(REGEX REPLACE "\\..*" "" array "${array}")  # marvot cuts it there too
  set(keywords auto break case char const continue default do double else enum extern float
      for goto if inline int long register restrict return short signed sizeof static struct
      switch typedef union unsigned void volatile while)
  if(NOT array MATCHES "^[A-Za-z_][A-Za-z0-9_]*$" OR array IN_LIST keywords)
    message(FATAL_ERROR "marvot_add_header: the array name \"${array}\" for ${header} is not "
                        "a C identifier; give one with ARRAY")
  endif()
  cmake_path(RELATIVE_PATH header BASE_DIRECTORY "${CMAKE_BINARY_DIR}" OUTPUT_VARIABLE shown)
  set(run "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/marvot_run.cmake")
  add_custom_command(OUTPUT "${header}"
    COMMAND "${CMAKE_COMMAND}" "-DMARVOT=$<TARGET_FILE:marvot::marvot>" "-DLISTING=${listing}"
            "-DHEADER=${header}" "-DARRAY=${array}" -P "${run}"
    DEPENDS "${listing}" marvot::marvot "${run}"
    COMMENT "Generating ${shown} from ${arg_LISTING}"
    VERBATIM)
endfunction()
