#!/bin/sh
# Runs the program (the arguments) under strace and prints the mode the new
# file was made with, then the mode the header has after it.
chmod 640 out.h &&
  ASAN_OPTIONS=detect_leaks=0 strace -f -qq -o ../trace -e trace=openat "$@" &&
  grep "part.*O_EXCL" ../trace | grep -o "0[0-7]*) = [0-9]*" | cut -d")" -f1 &&
  stat -c %a out.h
