# A file and a FIFO of another user's in a folder that anyone may write to,
# as /tmp: neither is written, and the FIFO, which nobody reads, is judged
# without waiting for a reader; the user nobody writes its own file there.
execute_process(COMMAND chmod 1777 ${WORK}/shared)
execute_process(COMMAND mkfifo ${WORK}/shared/f.h)
execute_process(COMMAND chown nobody ${WORK}/shared/p.h ${WORK}/shared/f.h ${WORK}/shared/nobody.h)
execute_process(COMMAND chmod 666 ${WORK}/shared/p.h ${WORK}/shared/f.h)
set(made shared/f.h)
