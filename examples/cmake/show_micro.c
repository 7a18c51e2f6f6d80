/* Prints the opcodes of micro.h, a header made in the folder micro/ and
   reached here by linking to the target micro_header. */
#include <stdint.h>
#include <stdio.h>

#include "micro.h"

int main(void) {
  const size_t opcodes = sizeof micro / sizeof micro[0] / 2;
  printf("%zu micro opcodes, the last 0x%010llX\n", opcodes,
         (unsigned long long)((uint64_t)(uint32_t)micro[2 * opcodes - 1] << 32 |
                              (uint32_t)micro[2 * opcodes - 2]));
  return 0;
}
