#!/bin/sh
# Runs the program (the arguments) on in.list fed through a FIFO; once it has
# the header open, another writer changes the header's time; then the
# listing is fed. Writes in `verdict` whether the header was kept.
mkfifo feed
"$@" <feed &
pid=$!
exec 3>feed
until ls -l /proc/$pid/fd 2>/dev/null | grep -q out.h; do sleep 0.01; done
touch -d "2001-01-01 00:00 UTC" out.h
cat in.list >&3
exec 3>&-
wait $pid
status=$?
rm feed
if [ "$(stat -c %Y out.h)" = 978307200 ]; then echo kept; else echo replaced; fi >verdict
exit $status
