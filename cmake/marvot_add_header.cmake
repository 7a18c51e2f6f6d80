# marvot_add_header(<header> LISTING <listing> [ARRAY <array_name>])
#
# Makes <header> (relative: under the current binary folder) from the listing
# <listing> (relative: under the current source folder) with marvot, whenever
# the listing or marvot changes, making the header's folder if need be.
# <array_name> defaults to the header's file name up to its first point, and
# must then be a C identifier that is no C keyword. A target that lists the
# header among its sources gets it before it compiles.
#
# A run that succeeds prints nothing. One that fails shows what marvot printed
# and leaves the header as it was, out of date, so that the next build runs
# marvot again. The header may never replace the listing, under any name.
#
# Cross-compiling, a marvot built for the target cannot run here: the
# function runs the one that the cache variable MARVOT_EXECUTABLE names, else
# the package's own when it was built for this machine, else a marvot found on
# PATH or in a prefix CMake searches.

# The path with its folder's links resolved, as a rename would see it; a
# Windows file system does not tell case apart.
function(_marvot_resolved path out)
  cmake_path(GET path PARENT_PATH folder)
  cmake_path(GET path FILENAME name)
  file(REAL_PATH "${folder}" folder)
  set(path "${folder}/${name}")
  if(CMAKE_HOST_WIN32)
    string(TOLOWER "${path}" path)
  endif()
  set(${out} "${path}" PARENT_SCOPE)
endfunction()

# The marvot program that this machine can run, as a target or a path.
function(_marvot_program out)
  get_target_property(runs_on marvot::marvot MARVOT_RUNS_ON)
  if(MARVOT_EXECUTABLE OR (CMAKE_CROSSCOMPILING AND
     NOT runs_on STREQUAL "${CMAKE_HOST_SYSTEM_NAME}-${CMAKE_HOST_SYSTEM_PROCESSOR}"))
    find_program(MARVOT_EXECUTABLE marvot NO_CMAKE_FIND_ROOT_PATH
                 DOC "marvot for the build machine, run by marvot_add_header when cross-compiling")
    if(NOT MARVOT_EXECUTABLE)
      message(FATAL_ERROR "marvot_add_header: cross-compiling, and no marvot for this machine "
        "was found; build or install one for it, then give its path with "
        "-DMARVOT_EXECUTABLE=<path>, or put it on PATH")
    endif()
    set(${out} "${MARVOT_EXECUTABLE}" PARENT_SCOPE)
  else()
    set(${out} marvot::marvot PARENT_SCOPE)
  endif()
endfunction()

function(marvot_add_header header)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "LISTING;ARRAY" "")
  if(arg_UNPARSED_ARGUMENTS OR NOT arg_LISTING)
    message(FATAL_ERROR "usage: marvot_add_header(<header> LISTING <listing> [ARRAY <array_name>])")
  endif()
  cmake_path(ABSOLUTE_PATH header BASE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}" NORMALIZE)
  cmake_path(ABSOLUTE_PATH arg_LISTING BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}"
             NORMALIZE OUTPUT_VARIABLE listing)
  if("${header}${listing}" MATCHES ";")
    message(FATAL_ERROR "marvot_add_header: the path ${header} or ${listing} holds a "
                        "semicolon, which a build cannot name; rename it")
  endif()
  _marvot_resolved("${header}" resolved_header)
  _marvot_resolved("${listing}" resolved_listing)
  if(resolved_header STREQUAL resolved_listing)
    message(FATAL_ERROR "marvot_add_header: the header ${header} is the listing ${listing}")
  endif()
  set(array "${arg_ARRAY}")
  if(NOT DEFINED arg_ARRAY)
    cmake_path(GET header FILENAME array)
  endif()
  string(REGEX REPLACE "\\..*" "" array "${array}")  # marvot cuts it there too
  file(STRINGS "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/c_keywords.inc" keywords REGEX "^\"")
  string(REGEX REPLACE "[\",]" "" keywords "${keywords}")  # the list marvot checks too
  if(NOT array MATCHES "^[A-Za-z_][A-Za-z0-9_]*$" OR array IN_LIST keywords)
    message(FATAL_ERROR "marvot_add_header: the array name \"${array}\" for ${header} is not "
                        "a C identifier; give one with ARRAY")
  endif()
  _marvot_program(program)
  set(command "${program}")
  if(TARGET "${program}")
    set(command "$<TARGET_FILE:${program}>")
  endif()
  cmake_path(RELATIVE_PATH header BASE_DIRECTORY "${CMAKE_BINARY_DIR}" OUTPUT_VARIABLE shown)
  set(run "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/marvot_run.cmake")
  add_custom_command(OUTPUT "${header}"
    COMMAND "${CMAKE_COMMAND}" "-DMARVOT=${command}" "-DLISTING=${listing}"
            "-DHEADER=${header}" "-DARRAY=${array}" -P "${run}"
    DEPENDS "${listing}" "${program}" "${run}"
    COMMENT "Generating ${shown} from ${arg_LISTING}"
    VERBATIM)
endfunction()
