# Runs marvot for marvot_add_header, into a new file that replaces the header
# only when marvot succeeds. Quiet on success; on failure it shows marvot's
# messages and leaves the header untouched.
#   cmake -DMARVOT=... -DLISTING=... -DHEADER=... -DARRAY=... -P marvot_run.cmake
set(part "${HEADER}.part")
execute_process(COMMAND "${MARVOT}" "${LISTING}" "${part}" "${ARRAY}"
                OUTPUT_VARIABLE messages ERROR_VARIABLE messages RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE "${part}")
  message("${messages}")
  message(FATAL_ERROR "marvot failed (${status}); ${HEADER} was not made")
endif()
file(RENAME "${part}" "${HEADER}")
