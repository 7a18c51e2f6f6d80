// Prints what show_boot prints, from C++: the array is defined by the C file
// boot_array.c, and declared here with C linkage.
#include <cstddef>
#include <cstdint>
#include <cstdio>

extern "C" const int boot[];
extern "C" const std::size_t boot_elements;

int main() {
  const auto opcode = [](std::size_t i) {
    return std::uint64_t{static_cast<std::uint32_t>(boot[2 * i + 1])} << 32 |
           static_cast<std::uint32_t>(boot[2 * i]);
  };
  std::printf("%zu opcodes, the first 0x%010llX\n", boot_elements / 2,
              static_cast<unsigned long long>(opcode(0)));
  return 0;
}
