# Headers with attributes to give: a user's, and a privileged one.
find_program(STRACE strace)
find_program(SETFATTR setfattr)
if(NOT STRACE OR NOT SETFATTR)
  set(skip "needs strace and setfattr")
  return()
endif()
execute_process(COMMAND setfattr -n user.origin -v build ${WORK}/attribute.h
                RESULT_VARIABLE failed ERROR_QUIET)
execute_process(COMMAND setfattr -n security.marvot -v 1 ${WORK}/privileged.h ERROR_QUIET)
if(failed)
  set(skip "the file system holds no extended attributes")
endif()
