# The new file is made private (0600) and takes the header's mode only
# once its text is written: the system calls say with which mode it is made.
find_program(STRACE strace)
if(NOT STRACE)
  set(skip "needs strace")
endif()
