#!/bin/sh
# Runs the program (the arguments) under strace, which holds each of its
# calls on the new header for a second, while another user plants a link of
# that name in the shared folder; says whether the link's target was kept.
ASAN_OPTIONS=detect_leaks=0 strace -qq -o /dev/null -P shared/new.h -P new.h \
  -e inject=all:delay_exit=1000000 "$@" >/dev/null &
sleep 0.5
setpriv --reuid=nobody --regid=nogroup --clear-groups ln -s ../target.h shared/new.h 2>/dev/null
wait
if grep -qx keep target.h; then echo kept; else echo written; fi
