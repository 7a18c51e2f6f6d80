# Another user makes the header's name a link to a file of root's while
# marvot is between its system calls: each call on the header's name is held
# a second before it returns, and the link is made half a second in. The
# file the link leads to keeps its bytes, whichever call the link meets.
find_program(STRACE strace)
if(NOT STRACE)
  set(skip "needs strace")
endif()
file(MAKE_DIRECTORY ${WORK}/shared)
execute_process(COMMAND chmod 1777 ${WORK}/shared)
set(made shared/new.h)
