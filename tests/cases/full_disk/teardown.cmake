# The run with --replace leaves the header that the run in place left, and no new file.
file(GLOB left RELATIVE ${WORK}.disk ${WORK}.disk/*)
execute_process(COMMAND umount ${WORK}.disk)
if(NOT left STREQUAL "out.h")
  fail("the disk holds [${left}], expected [out.h]")
endif()
