# Runs the translator on one case folder: checks the console text and the exit
# status of each of its command lines, then every file the runs left behind.
#   cmake -D PROGRAM=... -D CASE=... -D WORK=... [-D EMULATOR=...] [-D WINDOWS=ON] [-D ROOT=ON]
#         -P run_case.cmake
# ROOT: the case needs root and is skipped for anyone else. NOBODY: it runs
# the program as the user nobody, and is skipped where nobody cannot reach it
# (a build folder in a home folder that only its owner may enter).
# A case folder holds:
#   cmd          one run per line: the arguments, quoted as in a POSIX shell; the
#                runs share one working folder
#   stdout       the console text; @1@ to @3@ stand for the run's last three
#                arguments (input_file, output_file, array_name after any options),
#                and a line @banner@ for the banner's three lines
#   status       the exit status
#   stdout.N, status.N  optional: what run N (the first is 1) prints and
#                gives, where it differs from stdout and status; stdout.N-M and
#                status.N-M for runs N to M
#   stdout-windows, status-windows (and -posix), with the same endings,
#                and cmd-, wrap- and needs-windows (or -posix): what this
#                system runs, prints or gives, where it differs
#   given/       the files the run starts with, in its working folder
#   expected/    the files it must leave that differ from given/; no others may exist
#                (expected-windows/ or expected-posix/ in its place, where this
#                system leaves other files)
#   inputs       optional: files of given/ or expected/ that ../inputs/ holds,
#                where inputs that many cases share stand once, a line each:
#                its path (given/in.list) and the input's name (boot.list)
#   wrap         optional: a command the program runs under, such as sh -c '... "$@"';
#                @SCRIPTS@ stands for tests/scripts, where longer ones are kept
#   needs        optional, read by CMakeLists.txt: linux, windows, root,
#                nobody (runs something as that user), unsanitized (runs the
#                program built without sanitizers) and native (not under an
#                emulator)
#   setup.cmake  optional: prepares the folder (WORK), naming in `made` the files
#                it adds (they are not compared), or sets `skip` to a reason
#   teardown.cmake  optional: runs after the program, before the files are compared
# On Windows, line feeds in stdout and in expected headers (*.h, *.c) become CR LF,
# and @WORK@ in an argument is the working folder's native path.
cmake_minimum_required(VERSION 3.25)
set(ENV{LANG} C.UTF-8)  # the emulator passes arguments in the locale's encoding

macro(tear_down)
  if(EXISTS "${CASE}/teardown.cmake" AND NOT torn_down)
    set(torn_down ON)
    include("${CASE}/teardown.cmake")
  endif()
endmacro()

function(fail what)
  tear_down()
  message(FATAL_ERROR "${CASE}: ${run}: ${what}")
endfunction()

# The content of `file` as hexadecimal, with CR LF line ends if `crlf`.
function(read_bytes file crlf out)
  file(READ "${file}" hex HEX)
  if(crlf)
    string(REGEX REPLACE "(..)" "\\1 " hex "${hex}")  # 0a may only match whole bytes
    string(REPLACE "0a " "0d0a" hex "${hex}")
    string(REPLACE " " "" hex "${hex}")
  endif()
  set(${out} "${hex}" PARENT_SCOPE)
endfunction()

# Gives a text file this system's line ends, for a setup script: a header
# as marvot writes it here.
function(native_line_ends file)
  if(WINDOWS)
    file(READ "${file}" text)
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE "${file}" "${text}")
  endif()
endfunction()

function(list_files dir out)
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${dir}" "${dir}/*")
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# The files of `part` (given or expected): those in its folder, and those
# that the case's `inputs` names; `sources` gets where each comes from.
function(case_files part out sources)
  set(folder "${CASE}/${part}")
  if(part STREQUAL "expected")
    system_file(expected folder)
  endif()
  list_files("${folder}" names)
  set(from "")
  foreach(name IN LISTS names)
    list(APPEND from "${folder}/${name}")
  endforeach()
  if(EXISTS "${CASE}/inputs")
    file(STRINGS "${CASE}/inputs" lines ENCODING UTF-8)
    foreach(line IN LISTS lines)
      if(line MATCHES "^${part}/(.+) ([^ ]+)$")
        list(APPEND names "${CMAKE_MATCH_1}")
        list(APPEND from "${CMAKE_CURRENT_LIST_DIR}/inputs/${CMAKE_MATCH_2}")
      endif()
    endforeach()
  endif()
  set(${out} "${names}" PARENT_SCOPE)
  set(${sources} "${from}" PARENT_SCOPE)
endfunction()

# Where the file `name` of `part` comes from, or nothing.
function(source_of part name out)
  case_files(${part} names sources)
  list(FIND names "${name}" at)
  set(source "")
  if(at GREATER -1)
    list(GET sources ${at} source)
  endif()
  set(${out} "${source}" PARENT_SCOPE)
endfunction()

function(check_files)
  case_files(given given given_sources)
  case_files(expected expected expected_sources)
  list_files("${WORK}" left)
  if(made)
    list(REMOVE_ITEM left ${made})
  endif()
  set(wanted ${given} ${expected})
  list(REMOVE_DUPLICATES wanted)
  list(SORT wanted)
  list(SORT left)
  if(NOT "${left}" STREQUAL "${wanted}")
    fail("files left: [${left}], expected: [${wanted}]")
  endif()
  foreach(name IN LISTS wanted)
    source_of(given "${name}" source)
    source_of(expected "${name}" expected_source)
    set(crlf OFF)
    if(expected_source)
      set(source "${expected_source}")
      set(crlf "${WINDOWS}")
    endif()
    if(NOT name MATCHES "\\.[ch]$")
      set(crlf OFF)
    endif()
    read_bytes("${source}" "${crlf}" want)
    read_bytes("${WORK}/${name}" OFF got)
    if(NOT got STREQUAL want)
      fail("${name} holds ${got}, expected ${want}")
    endif()
  endforeach()
endfunction()

function(prepare)
  file(REMOVE_RECURSE "${WORK}")
  file(MAKE_DIRECTORY "${WORK}")
  case_files(given names sources)
  foreach(name source IN ZIP_LISTS names sources)
    get_filename_component(folder "${WORK}/${name}" DIRECTORY)
    file(MAKE_DIRECTORY "${folder}")
    file(COPY_FILE "${source}" "${WORK}/${name}")
  endforeach()
endfunction()

# The file `name` of the case, or this system's own (`name`-windows or
# `name`-posix) where it has one.
function(system_file name out)
  set(system posix)
  if(WINDOWS)
    set(system windows)
  endif()
  set(${out} "${CASE}/${name}" PARENT_SCOPE)
  if(EXISTS "${CASE}/${name}-${system}")
    set(${out} "${CASE}/${name}-${system}" PARENT_SCOPE)
  endif()
endfunction()

# The file `name` of the case, or `name`.N or `name`.N-M where run N has
# one of its own; where this system has its own (`name`-windows or
# `name`-posix, with the same endings), that one.
function(expected_for name out)
  set(system posix)
  if(WINDOWS)
    set(system windows)
  endif()
  set(found "")
  foreach(base IN ITEMS ${name} ${name}-${system})
    if(EXISTS "${CASE}/${base}")
      set(found "${CASE}/${base}")
    endif()
    file(GLOB own RELATIVE "${CASE}" "${CASE}/${base}.*")
    foreach(file IN LISTS own)
      if(file MATCHES "^${base}\\.([0-9]+)(-([0-9]+))?$")
        set(last "${CMAKE_MATCH_3}")
        if(last STREQUAL "")
          set(last "${CMAKE_MATCH_1}")
        endif()
        if(number GREATER_EQUAL CMAKE_MATCH_1 AND number LESS_EQUAL last)
          set(found "${CASE}/${file}")
        endif()
      endif()
    endforeach()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

function(run_once line)
  set(native "${WORK}")
  if(WINDOWS)
    string(REPLACE "/" "\\" native "Z:${WORK}")
  endif()
  separate_arguments(arguments UNIX_COMMAND "${line}")
  string(REPLACE "\\" "\\\\" native "${native}")  # a replacement, where \ escapes
  list(TRANSFORM arguments REPLACE "@WORK@" "${native}")
  set(wrap "")
  system_file(wrap wrap_file)
  if(EXISTS "${wrap_file}")
    file(READ "${wrap_file}" wrap)
    string(REPLACE "@SCRIPTS@" "${CMAKE_CURRENT_LIST_DIR}/scripts" wrap "${wrap}")
    separate_arguments(wrap UNIX_COMMAND "${wrap}")
  endif()
  set(command "")  # bracket-quoted, so that empty arguments survive
  foreach(word IN LISTS wrap EMULATOR PROGRAM arguments)
    string(APPEND command " [==[${word}]==]")
  endforeach()
  cmake_language(EVAL CODE "execute_process(COMMAND ${command} WORKING_DIRECTORY [==[${WORK}]==]
      OUTPUT_FILE [==[${WORK}.out]==] ERROR_FILE [==[${WORK}.err]==] RESULT_VARIABLE status)")

  expected_for(stdout stdout_file)
  expected_for(status status_file)
  file(READ "${stdout_file}" want)
  file(READ "${CMAKE_CURRENT_LIST_DIR}/inputs/banner" banner)
  string(REPLACE "@banner@\n" "${banner}" want "${want}")
  list(LENGTH arguments count)
  math(EXPR first "${count} - 3")  # the three arguments that follow the options
  foreach(index RANGE 1 3)
    math(EXPR at "${first} + ${index} - 1")
    if(at GREATER_EQUAL 0)
      list(GET arguments ${at} argument)
      string(REPLACE "@${index}@" "${argument}" want "${want}")
    endif()
  endforeach()
  file(WRITE "${WORK}.want" "${want}")
  read_bytes("${WORK}.want" "${WINDOWS}" want_hex)
  read_bytes("${WORK}.out" OFF out_hex)
  file(READ "${WORK}.out" out)
  file(READ "${WORK}.err" err)
  file(READ "${status_file}" want_status)
  string(STRIP "${want_status}" want_status)
  if(NOT err STREQUAL "")
    fail("wrote to standard error:\n${err}")
  elseif(NOT out_hex STREQUAL want_hex)
    fail("printed:\n${out}\nexpected:\n${want}\n(${out_hex}\nagainst ${want_hex})")
  elseif(NOT status STREQUAL want_status)
    fail("exit status ${status}, expected ${want_status}")
  endif()
endfunction()

if(ROOT)
  execute_process(COMMAND id -u OUTPUT_VARIABLE user OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT user STREQUAL "0")
    message("SKIPPED: needs root")
    return()
  endif()
endif()
get_filename_component(work_parent "${WORK}" DIRECTORY)
if(NOBODY)
  execute_process(COMMAND setpriv --reuid=nobody --regid=nogroup --clear-groups
                          sh -c "test -x \"$0\" && cd \"$1\"" "${PROGRAM}" "${work_parent}"
                  RESULT_VARIABLE unreachable OUTPUT_QUIET ERROR_QUIET)
  if(unreachable)
    message("SKIPPED: the user nobody cannot reach the program and its working folder")
    return()
  endif()
endif()

# The runs share one working folder, whose files are compared after the last.
prepare()
set(made "")
if(EXISTS "${CASE}/setup.cmake")
  include("${CASE}/setup.cmake")
  if(skip)
    message("SKIPPED: ${skip}")
    return()
  endif()
endif()
system_file(cmd cmd_file)
file(READ "${cmd_file}" runs)
string(REGEX REPLACE "\n$" "" runs "${runs}")
string(REPLACE "\n" ";" runs "${runs}")  # a blank line is a run without arguments
set(number 0)
foreach(run IN LISTS runs)
  math(EXPR number "${number} + 1")
  run_once("${run}")
endforeach()
set(run "after the last run")
tear_down()
check_files()
