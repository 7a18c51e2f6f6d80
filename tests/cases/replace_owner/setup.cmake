# The wrapper sets and reads an extended attribute with Debian's attr tools.
find_program(SETFATTR setfattr)
if(NOT SETFATTR)
  set(skip "needs setfattr (Debian's attr)")
endif()
