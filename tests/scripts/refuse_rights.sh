#!/bin/sh
# Runs the program (the arguments) under strace, which makes the call that
# gives the new file a right fail as the header's name says: mode.h, fchmod
# with EPERM; attribute.h, fsetxattr with EOPNOTSUPP; privileged.h, fsetxattr
# with EACCES, as a security module refuses a security.* attribute.
eval "header=\${$(($# - 1))}"
case $header in
  mode.h) inject=fchmod:error=EPERM ;;
  attribute.h) inject=fsetxattr:error=EOPNOTSUPP ;;
  *) inject=fsetxattr:error=EACCES ;;
esac
ASAN_OPTIONS=detect_leaks=0 exec strace -f -qq -o /dev/null -e inject="$inject" "$@"
