execute_process(COMMAND umount ${WORK}.disk)
