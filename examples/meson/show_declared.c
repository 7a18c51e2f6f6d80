/* Prints the opcodes of ucode.h, a header that declares the array for any
   number of C and C++ files: its definition is compiled once, into the
   library ucode that this program links. */
#include <stdint.h>
#include <stdio.h>

#include "ucode.h"

int main(void) {
  const size_t opcodes = sizeof ucode / sizeof ucode[0] / 2;
  printf("%zu declared opcodes, the last 0x%010llX\n", opcodes,
         (unsigned long long)((uint64_t)ucode[2 * opcodes - 1] << 32 | ucode[2 * opcodes - 2]));
  return 0;
}
