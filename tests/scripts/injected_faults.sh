#!/bin/sh
# Runs the program (the arguments) under strace, which makes a call fail with
# EIO as the header's name says: renamed.h, the rename that puts the new file
# in the header's place; any other, every read of that file.
eval "header=\${$(($# - 1))}"
case $header in
  renamed.h) only= calls=rename,renameat,renameat2 ;;
  *) only="-P $PWD/$header" calls=pread64 ;;
esac
ASAN_OPTIONS=detect_leaks=0 exec strace -f -qq -o /dev/null $only -e inject=$calls:error=EIO "$@"
