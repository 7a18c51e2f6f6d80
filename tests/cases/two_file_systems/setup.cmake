# Two small disks beside the working folder whose first files have the same
# inode numbers: the listing and standard output's file on one, the headers
# made on the other. Two files are told apart though Wine shows no volume.
foreach(disk m1 m2)
  execute_process(COMMAND umount ${WORK}.${disk} ERROR_QUIET)
  file(MAKE_DIRECTORY ${WORK}.${disk})
  execute_process(COMMAND mount -t tmpfs -o size=64k tmpfs ${WORK}.${disk}
                  RESULT_VARIABLE failed ERROR_QUIET)
  if(failed)
    set(skip "mounting a small disk needs root")
    return()
  endif()
endforeach()
file(WRITE ${WORK}.m1/in.list ".12 F0E1D2C3B4 LDI R0\n")
file(WRITE ${WORK}.m1/out.txt "")
