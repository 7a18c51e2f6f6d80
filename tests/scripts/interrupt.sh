#!/bin/sh
# Runs the program (the arguments) on a listing fed through a FIFO and, once
# its new file exists, sends it the signal that the header's name gives:
# int.h SIGINT, term.h SIGTERM, hup.h SIGHUP; ignored.h SIGINT to a program
# that started with it ignored (as under nohup), which then runs on.
eval "header=\${$(($# - 1))}"
ignore=:
case $header in
  int.h) signal=INT ;;
  term.h) signal=TERM ;;
  hup.h) signal=HUP ;;
  *) signal=INT ignore="trap '' INT" ;;
esac
mkfifo feed
(
  exec 3>feed
  tries=0
  until ls ./*.part >/dev/null 2>&1 || [ $((tries += 1)) -gt 3000 ]; do sleep 0.01; done
  kill -s "$signal" "$(cat pid)"
  [ "$ignore" = : ] || cat in.list >&3
) &
# The program keeps its standard error; the shell's word on how it ended goes.
exec 4>&2 2>/dev/null
(exec sh -c "$ignore"'; echo $$ >pid; exec "$@"' sh "$@" <feed 2>&4)
status=$?
wait
rm feed pid
exit "$status"
