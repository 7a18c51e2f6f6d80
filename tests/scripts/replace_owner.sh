#!/bin/sh
# Gives the headers another owner or group, setuid and setgid bits and
# attributes, runs the program (the arguments), and prints what the
# replaced header kept: its owner, mode and group, and its attributes.
chown nobody:nogroup out.h && chown root:nogroup group.h && chmod 6750 out.h group.h &&
  setfattr -n user.origin -v boot out.h && setfattr -n user.origin -v boot group.h &&
  setfattr -n user.second -v 2 out.h &&
  "$@" &&
  [ "$(stat -c %U out.h)" = nobody ] &&
  stat -c "%a %G" out.h group.h &&
  getfattr --only-values -n user.origin out.h group.h &&
  getfattr --only-values -n user.second out.h && echo
