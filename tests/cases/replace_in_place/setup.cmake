# A device is written in place, never replaced: a null device of the case's own.
execute_process(COMMAND mknod ${WORK}/null c 1 3 RESULT_VARIABLE failed ERROR_QUIET)
if(failed)
  set(skip "making a device needs root")
endif()
set(made null)
