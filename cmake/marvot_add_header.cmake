# marvot_add_header(<header> LISTING <listing> [ARRAY <array_name>] [TARGET <target>]
#                   [TYPE <type>] [PREFIX <text>] [SUFFIX <text>] [DECLARE])
#
# Makes <header> (relative: under the current binary folder) from the listing
# <listing> (relative: under the current source folder) with marvot, whenever
# the listing or marvot changes, making the header's folder if need be.
# <array_name> defaults to the header's file name up to its first point, and
# must then be a C identifier that is no C keyword and not reserved. A target
# of the same folder that lists the header among its sources gets it before it
# compiles. With TARGET, <target> is made too: an interface library that a
# target of any folder links to, to get the header before it compiles and the
# header's folder on its include path (a custom command's output is seen only
# by targets of its own folder).
#
# TYPE (int, unsigned, int32_t or uint32_t), PREFIX and SUFFIX are passed as
# marvot's --type, --prefix and --suffix: "PREFIX const TYPE NAME[] SUFFIX".
# DECLARE, which needs TARGET, makes <header> the declaration that any number
# of C and C++ files include, and the definition <header's stem>.c beside it,
# compiled once into <target>, then a STATIC library: the project must enable
# C. Targets that link <target> include the declaration under <header>'s name.
#
# The build runs `marvot --quiet --replace <listing> <header> <array_name>`:
# a run that succeeds prints nothing, and one that fails shows what marvot
# printed and leaves the header as it was, out of date, so that the next build
# runs marvot again. Runs for one header at the same time (targets of one
# folder that list it, built in parallel) do not clash. marvot itself refuses
# a header that is the listing, under any name.
#
# Cross-compiling, a marvot built for the target cannot run here: the
# function runs the one that the cache variable MARVOT_EXECUTABLE names (a
# path, or a name looked up on PATH), else the package's own when it was built
# for this machine, else a marvot found on PATH or in a prefix CMake searches.
# A program given or found so must run and be as new as this package.

# The path with its folder's links resolved, as a rename would see it. Paths
# that differ only in letter case are left to marvot, which compares the
# files themselves when it runs: a Windows folder may tell case apart.
function(_marvot_resolved path out)
  cmake_path(GET path PARENT_PATH folder)
  cmake_path(GET path FILENAME name)
  file(REAL_PATH "${folder}" folder)
  set(path "${folder}/${name}")
  set(${out} "${path}" PARENT_SCOPE)
endfunction()

# Stops configuring with what to give when MARVOT_EXECUTABLE does not run here
# or is older than this package.
function(_marvot_check_program program version)
  set(give "give -DMARVOT_EXECUTABLE=<path of marvot ${version} or newer built for this machine>")
  if(NOT EXISTS "${program}" OR IS_DIRECTORY "${program}")
    message(FATAL_ERROR "marvot_add_header: MARVOT_EXECUTABLE (${program}) does not exist; ${give}")
  endif()
  execute_process(COMMAND "${program}" --version RESULT_VARIABLE status OUTPUT_VARIABLE said
                  ERROR_QUIET)
  if(NOT status EQUAL 0 OR NOT said MATCHES "^marvot ([0-9.]+)")
    message(FATAL_ERROR "marvot_add_header: MARVOT_EXECUTABLE (${program}) does not run here "
                        "as marvot; ${give}")
  endif()
  if(CMAKE_MATCH_1 VERSION_LESS version)
    message(FATAL_ERROR "marvot_add_header: MARVOT_EXECUTABLE (${program}) is marvot "
                        "${CMAKE_MATCH_1}, older than ${version}; ${give}")
  endif()
endfunction()

# The marvot program that this machine can run, as a target or a path.
function(_marvot_program out)
  get_target_property(runs_on marvot::marvot MARVOT_RUNS_ON)
  if(NOT MARVOT_EXECUTABLE AND (NOT CMAKE_CROSSCOMPILING OR
     runs_on STREQUAL "${CMAKE_HOST_SYSTEM_NAME}-${CMAKE_HOST_SYSTEM_PROCESSOR}"))
    set(${out} marvot::marvot PARENT_SCOPE)
    return()
  endif()
  if(MARVOT_EXECUTABLE AND NOT MARVOT_EXECUTABLE MATCHES "[/\\]")  # a name on PATH
    find_program(_marvot_on_path NAMES "${MARVOT_EXECUTABLE}" NO_CMAKE_FIND_ROOT_PATH)
    set(program "${_marvot_on_path}")
    unset(_marvot_on_path CACHE)
    if(NOT program)
      message(FATAL_ERROR "marvot_add_header: MARVOT_EXECUTABLE (${MARVOT_EXECUTABLE}) is not "
                          "on PATH; give its full path")
    endif()
    set(MARVOT_EXECUTABLE "${program}" CACHE FILEPATH "marvot for the build machine" FORCE)
  endif()
  find_program(MARVOT_EXECUTABLE marvot NO_CMAKE_FIND_ROOT_PATH
               DOC "marvot for the build machine, run by marvot_add_header when cross-compiling")
  if(NOT MARVOT_EXECUTABLE)
    message(FATAL_ERROR "marvot_add_header: cross-compiling, and no marvot for this machine "
      "was found; build or install one for it, then give its path with "
      "-DMARVOT_EXECUTABLE=<path>, or put it on PATH")
  endif()
  get_target_property(version marvot::marvot MARVOT_VERSION)
  _marvot_check_program("${MARVOT_EXECUTABLE}" "${version}")
  set(${out} "${MARVOT_EXECUTABLE}" PARENT_SCOPE)
endfunction()

# The options that TYPE, PREFIX and SUFFIX give, checked as marvot would.
function(_marvot_format_options out)
  set(options "")
  if(DEFINED arg_TYPE)
    if(NOT arg_TYPE MATCHES "^(int|unsigned|int32_t|uint32_t)$")
      message(FATAL_ERROR "marvot_add_header: TYPE ${arg_TYPE} is not int, unsigned, int32_t "
                          "or uint32_t")
    endif()
    list(APPEND options "--type=${arg_TYPE}")
  endif()
  foreach(option IN ITEMS PREFIX SUFFIX)
    if(DEFINED arg_${option})
      string(TOLOWER "${option}" name)
      list(APPEND options "--${name}=${arg_${option}}")
    endif()
  endforeach()
  if(arg_DECLARE AND arg_PREFIX MATCHES "(^|[^A-Za-z0-9_])static([^A-Za-z0-9_]|$)")
    message(FATAL_ERROR "marvot_add_header: PREFIX holds static, which keeps the array from "
                        "the files that DECLARE shares it with")
  endif()
  set(${out} "${options}" PARENT_SCOPE)
endfunction()

function(marvot_add_header header)
  cmake_parse_arguments(PARSE_ARGV 1 arg "DECLARE" "LISTING;ARRAY;TARGET;TYPE;PREFIX;SUFFIX" "")
  if(arg_UNPARSED_ARGUMENTS OR NOT arg_LISTING)
    message(FATAL_ERROR "usage: marvot_add_header(<header> LISTING <listing> "
                        "[ARRAY <array_name>] [TARGET <target>] [TYPE <type>] "
                        "[PREFIX <text>] [SUFFIX <text>] [DECLARE])")
  endif()
  if(arg_DECLARE AND NOT arg_TARGET)
    message(FATAL_ERROR "marvot_add_header: DECLARE needs TARGET, the library that compiles "
                        "the definition once")
  endif()
  get_property(languages GLOBAL PROPERTY ENABLED_LANGUAGES)
  if(arg_DECLARE AND NOT "C" IN_LIST languages)
    message(FATAL_ERROR "marvot_add_header: DECLARE compiles the definition as C; enable C "
                        "in project() or with enable_language(C)")
  endif()
  _marvot_format_options(format)
  if(arg_TARGET AND (TARGET "${arg_TARGET}" OR TARGET "${arg_TARGET}_marvot"))
    message(FATAL_ERROR "marvot_add_header: the target ${arg_TARGET} exists already; "
                        "give another name with TARGET")
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
  set(fault "")
  if(NOT array MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
    set(fault "is not a C identifier")
  elseif(array IN_LIST keywords)
    set(fault "is a C keyword")
  elseif(array MATCHES "^__")
    set(fault "is reserved for the compiler: it begins with two underscores")
  elseif(array MATCHES "^_[A-Z]")
    set(fault "is reserved for the compiler: it begins with an underscore and a capital letter")
  endif()
  if(fault)
    message(FATAL_ERROR "marvot_add_header: the array name \"${array}\" for ${header} "
                        "${fault}; give another with ARRAY")
  endif()
  _marvot_program(program)
  set(command "${program}")
  if(TARGET "${program}")
    set(command "$<TARGET_FILE:${program}>")
  endif()
  cmake_path(RELATIVE_PATH header BASE_DIRECTORY "${CMAKE_BINARY_DIR}" OUTPUT_VARIABLE shown)
  cmake_path(GET header PARENT_PATH folder)
  set(outputs "${header}")
  set(written "${header}")
  if(arg_DECLARE)  # the header declares; the definition beside it is compiled once
    cmake_path(GET header STEM LAST_ONLY stem)
    set(definition "${folder}/${stem}.c")
    if(definition STREQUAL header)
      message(FATAL_ERROR "marvot_add_header: with DECLARE the header ${header} cannot be "
                          "named like its definition; give it another name")
    endif()
    list(APPEND outputs "${definition}")
    set(written "${definition}")
    list(PREPEND format "--declare=${header}")
  endif()
  add_custom_command(OUTPUT ${outputs}
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${folder}"
    COMMAND "${command}" --quiet --replace ${format} "${listing}" "${written}" "${array}"
    DEPENDS "${listing}" "${program}"
    COMMENT "Generating ${shown} from ${arg_LISTING}"
    VERBATIM)
  if(arg_DECLARE)  # the definition compiled into the one library all link
    add_library("${arg_TARGET}" STATIC "${definition}")
    target_include_directories("${arg_TARGET}" PUBLIC "${folder}")
    set_source_files_properties("${definition}" PROPERTIES LANGUAGE C)
  elseif(arg_TARGET)  # what builds the header, and what any target links to
    add_custom_target("${arg_TARGET}_marvot" DEPENDS "${header}")
    add_library("${arg_TARGET}" INTERFACE)
    add_dependencies("${arg_TARGET}" "${arg_TARGET}_marvot")
    target_include_directories("${arg_TARGET}" INTERFACE "${folder}")
  endif()
endfunction()
