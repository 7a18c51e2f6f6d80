#!/bin/sh
# Compiles what marvot writes from LISTING as a build would use it.
#   declared.sh link CC CXX MARVOT LISTING TYPE WORK
#     two C files and a C++ file include the declaration, the definition is
#     compiled once (and, for uint32_t, as C++ too), and the program prints
#     the values and each file's sizeof; warnings are errors (for uint32_t
#     -Wconversion -Wsign-conversion too, and Clang's -Weverything in C)
#   declared.sh avr CC - MARVOT LISTING TYPE WORK
#     the definition for a 16-bit int target holds 16 bytes of data
#   declared.sh placed CC - MARVOT LISTING TYPE WORK
#     a section and an alignment given as a prefix reach the object file
set -eu
mode=$1 cc=$2 cxx=$3 marvot=$4 listing=$5 type=$6 work=$7
here=$(cd "$(dirname "$0")/../link" && pwd)
rm -rf "$work"
mkdir -p "$work"
cd "$work"
strict="-Wall -Wextra -Werror"
[ "$type" = uint32_t ] && strict="$strict -Wconversion -Wsign-conversion"
c_strict=$strict  # and Clang's every warning, in C, where the type is uint32_t
if [ "$type" = uint32_t ] && $cc --version | grep -q clang; then c_strict="$strict -Weverything"; fi
case $mode in
  link)
    "$marvot" -q --declare ucode.h --type "$type" "$listing" ucode.c ucode
    for file in a b; do $cc -std=c11 $c_strict -I. -c "$here/$file.c"; done
    $cc -std=c11 $c_strict -c ucode.c
    $cxx -std=c++17 $strict -I. -c "$here/main.cpp"
    $cxx -o linked a.o b.o ucode.o main.o
    ./linked >got
    diff "$here/expected" got
    if [ "$type" = uint32_t ]; then  # external linkage, C linkage, no narrowing
      $cxx -std=c++17 $strict -x c++ -c ucode.c -o ucode_cpp.o
      $cxx -o linked_cpp a.o b.o ucode_cpp.o main.o
      ./linked_cpp | diff "$here/expected" -
    fi ;;
  avr)
    "$marvot" -q --declare ucode.h --type "$type" "$listing" ucode.c ucode
    $cc -mmcu=atmega328p -std=c11 $strict -c ucode.c
    avr-nm -S ucode.o | grep -q '^00000000 00000010 R ucode$' ;;
  placed)
    "$marvot" -q --prefix '__attribute__((section(".ucode"), aligned(16)))' "$listing" ucode.c ucode
    $cc -std=c11 $strict -c ucode.c
    readelf -S -W ucode.o | grep -E '\.ucode +PROGBITS .* 16$' >/dev/null ;;
esac
