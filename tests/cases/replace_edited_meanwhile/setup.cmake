# A header on a file system whose times step by a second (ext4 with 128-byte
# inodes), edited by another writer after its first piece was compared, in
# the same second: its times cannot tell, so its bytes must.
execute_process(COMMAND umount ${WORK}.disk ERROR_QUIET)
file(MAKE_DIRECTORY ${WORK}.disk)
execute_process(COMMAND truncate -s 8M ${WORK}.img COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND mkfs.ext4 -q -F -I 128 ${WORK}.img RESULT_VARIABLE failed
                OUTPUT_QUIET ERROR_QUIET)
if(NOT failed)
  execute_process(COMMAND mount -o loop ${WORK}.img ${WORK}.disk RESULT_VARIABLE failed
                  ERROR_QUIET)
endif()
if(failed)
  set(skip "cannot make and mount a small ext4 file system here")
  return()
endif()
string(REPEAT ".1 0123456789\n" 30000 listing)
file(WRITE ${WORK}/in.list "${listing}")
string(REPEAT "\t\t0x23456789,\n\t\t0x01,\n" 30000 elements)
set(header "const int ucode[] = {\n${elements}\t\t};\n")
file(WRITE ${WORK}.disk/out.h "${header}")
set(made in.list)
