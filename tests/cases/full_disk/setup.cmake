# A header a few KiB larger than the disk it is written to: 60743 bytes, or
# 66265 with CR LF line ends. The disk is mounted beside the working folder,
# so that a run killed before its teardown leaves nothing in the way.
set(size 56k)
if(WINDOWS)
  set(size 64k)
endif()
execute_process(COMMAND umount ${WORK}.disk ERROR_QUIET)
file(MAKE_DIRECTORY ${WORK}.disk)
execute_process(COMMAND mount -t tmpfs -o size=${size} tmpfs ${WORK}.disk
                RESULT_VARIABLE failed ERROR_QUIET)
if(failed)
  set(skip "mounting a small disk needs root")
endif()
string(REPEAT ".1 0123456789\n" 2760 listing)
file(WRITE ${WORK}/big.list "${listing}")
set(made big.list)
