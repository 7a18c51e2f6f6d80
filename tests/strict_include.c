/* Includes a header as the README shows for builds with strict warnings:
   its elements of 0x80000000 and above are conversions to int that
   -Wconversion and -Wsign-conversion report, and Clang's -Weverything wants
   a declaration before the array's definition. */
#include <limits.h>
#if INT_MAX < 0x7FFFFFFF
#error "the opcode array needs an int of at least 32 bits"
#endif

#ifdef AS_THE_README_SHOWS
extern const int boot[]; /* for Clang's -Wmissing-variable-declarations (-Weverything) */
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#endif
#include "boot.h"
#ifdef AS_THE_README_SHOWS
#pragma GCC diagnostic pop
#endif

int main(void) { return boot[0]; }
