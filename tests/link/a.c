/* One C file of several that use the declared array. */
#include <stdio.h>

#include "ucode.h"

void show_a(void);

void show_a(void) {
  printf("a.c: %u elements, first 0x%08X\n", (unsigned)(sizeof ucode / sizeof ucode[0]),
         (unsigned)ucode[0]);
}
