# System calls made to fail: the rename that puts the new file in the
# header's place, and the reading of a file given as the header.
find_program(STRACE strace)
if(NOT STRACE)
  set(skip "needs strace")
endif()
