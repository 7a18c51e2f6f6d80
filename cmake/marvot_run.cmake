# Runs marvot for marvot_add_header, into a new file that replaces the header
# only when marvot succeeds. Quiet on success; on failure it shows marvot's
# messages and leaves the header untouched.
#   cmake -DMARVOT=... -DLISTING=... -DHEADER=... -DARRAY=... -P marvot_run.cmake
include("${CMAKE_CURRENT_LIST_DIR}/marvot_add_header.cmake")
set(part "${HEADER}.part")
set(outcome "was not made")
if(EXISTS "${HEADER}")
  set(outcome "was not updated")
endif()
cmake_path(GET HEADER PARENT_PATH folder)
file(MAKE_DIRECTORY "${folder}")
execute_process(COMMAND "${MARVOT}" "${LISTING}" "${part}" "${ARRAY}"
                OUTPUT_VARIABLE messages ERROR_VARIABLE messages RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE "${part}")
  message("${messages}")
  message(FATAL_ERROR "marvot failed (${status}); ${HEADER} ${outcome}")
endif()
# Links may have changed since the build was configured.
_marvot_resolved("${HEADER}" header)
_marvot_resolved("${LISTING}" listing)
if(header STREQUAL listing)
  file(REMOVE "${part}")
  message(FATAL_ERROR "marvot_add_header: the header ${HEADER} is the listing ${LISTING}")
endif()
file(RENAME "${part}" "${HEADER}")
