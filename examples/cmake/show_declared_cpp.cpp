// Prints what show_declared prints, from C++, which includes the same
// declaration: its size is known here too.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "ucode.h"

int main() {
  const std::size_t opcodes = sizeof ucode / sizeof ucode[0] / 2;
  std::printf("%zu declared opcodes, the last 0x%010llX\n", opcodes,
              static_cast<unsigned long long>(std::uint64_t{ucode[2 * opcodes - 1]} << 32 |
                                              ucode[2 * opcodes - 2]));
  return 0;
}
