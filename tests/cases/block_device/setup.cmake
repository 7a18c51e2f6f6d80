# Two nodes of one loop device, which needs no backing file to be read.
foreach(node b1 b2)
  execute_process(COMMAND mknod ${WORK}/${node} b 7 7 RESULT_VARIABLE failed ERROR_QUIET)
  list(APPEND made ${node})
endforeach()
execute_process(COMMAND head -c 0 ${WORK}/b1 RESULT_VARIABLE unreadable ERROR_QUIET)
if(failed OR unreadable)
  set(skip "making and reading a block device needs root")
endif()
