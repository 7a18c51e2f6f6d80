/* Prints how many opcodes boot.h holds and the first one's 40-bit value. */
#include <stdint.h>
#include <stdio.h>

#include "boot.h" /* defines the array: include it in one C file only */

#define OPCODES (sizeof boot / sizeof boot[0] / 2)

/* Opcode i: element 2i holds its low 32 bits, element 2i+1 its high 8. */
static uint64_t opcode(size_t i) {
  return (uint64_t)(uint32_t)boot[2 * i + 1] << 32 | (uint32_t)boot[2 * i];
}

int main(void) {
  printf("%zu opcodes, the first 0x%010llX\n", OPCODES, (unsigned long long)opcode(0));
  return 0;
}
