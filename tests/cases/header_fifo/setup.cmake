# A FIFO as the header, whose reader comes only after the run has found no
# reader there: the run waits for it, and the reader gets the header.
execute_process(COMMAND mkfifo ${WORK}/fifo.h)
set(made fifo.h)
