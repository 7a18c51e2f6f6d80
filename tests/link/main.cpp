// A C++ file that uses the declared array beside the C files.
#include <cstdio>

#include "ucode.h"

extern "C" void show_a(void);
extern "C" void show_b(void);

int main() {
  show_a();
  show_b();
  std::printf("main.cpp: %u bytes, second 0x%08X\n", static_cast<unsigned>(sizeof ucode),
              static_cast<unsigned>(ucode[1]));
}
