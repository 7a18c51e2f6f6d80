#!/bin/sh
# Two runs for one header at once: the first reads in.list through a FIFO,
# and once its new file exists a second runs to its end; then the first is
# fed. Prints the first's console text after the second's, and fails where
# either does.
mkfifo feed
"$@" <feed >first.out &
first=$!
exec 3>feed
until ls out.h.marvot-*.part >/dev/null 2>&1; do sleep 0.05; done
"$@" <in.list
second=$?
cat in.list >&3
exec 3>&-
wait $first
status=$?
rm feed
cat first.out
rm first.out
exit $((status + second))
