/* Another C file that uses the declared array. */
#include <stdio.h>

#include "ucode.h"

void show_b(void);

void show_b(void) {
  printf("b.c: %u bytes, last 0x%08X\n", (unsigned)sizeof ucode,
         (unsigned)ucode[sizeof ucode / sizeof ucode[0] - 1]);
}
