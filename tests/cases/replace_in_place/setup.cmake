# A link and a device are written in place, never replaced: the link leads
# to real.h, and the device is a null device of the case's own.
file(CREATE_LINK real.h ${WORK}/link.h SYMBOLIC)
execute_process(COMMAND mknod ${WORK}/null c 1 3 RESULT_VARIABLE failed ERROR_QUIET)
if(failed)
  set(skip "making a device needs root")
endif()
set(made link.h null)
