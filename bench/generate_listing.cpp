// Writes a made-up assembler listing of about a given size, for benchmarks:
// about half the lines are opcode lines, the rest comments, directives and
// blank lines. With --single-line it writes one opcode line of that size,
// with --records-only opcode lines alone.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

const char* const mnemonics[] = {"LDI     R0, #0x12", "ADD     R1, R2, R3", "STORE   [R3], R1",
                                 "BNZ     R3, .0005", "NOP", "JSR     init",
                                 "ANDI    R2, R2, #0xFF", "MOV     R4, R5"};
const char* const directives[] = {"        .org    0x0040", "        .align  4",
                                  "        .word   0xDEADBEEF", ".text", "        .end"};
const char* const comments[] = {"; --- clear the data memory -------------------------",
                                "; loop until the counter reaches zero, then return",
                                "; reset vector: the clock settles before this runs"};
const char* const notes[] = {" ; next word", " ; stack top", " ; clear one word",
                             " ; loop back", " ; interrupt mask"};

template <std::size_t N>
const char* pick(const char* const (&list)[N], std::mt19937_64& random) {
  return list[random() % N];
}

void append_opcode_line(std::string& out, std::mt19937_64& random, unsigned long line) {
  char label[32];
  if (random() % 2 == 0) {
    std::snprintf(label, sizeof label, ".%lu", line % 10000);
  } else {
    std::snprintf(label, sizeof label, ".%04lu:", line % 10000);
  }
  out += label;
  out.append(1 + random() % 5, ' ');
  static const char hex[] = "0123456789ABCDEF";
  for (int i = 0; i < 10; ++i) out += hex[random() % 16];
  out += "  ";
  out += pick(mnemonics, random);
  out += pick(notes, random);
  out += '\n';
}

void append_other_line(std::string& out, std::mt19937_64& random) {
  switch (random() % 4) {
    case 0: out += '\n'; break;
    case 1: out += pick(directives, random); out += pick(notes, random); out += '\n'; break;
    default: out += pick(comments, random); out += '\n'; break;
  }
}

int write_all(std::FILE* file, const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), file) == text.size() ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[]) {
  const bool single_line = argc == 5 && std::strcmp(argv[4], "--single-line") == 0;
  const bool records_only = argc == 5 && std::strcmp(argv[4], "--records-only") == 0;
  if (argc != 4 && !single_line && !records_only) {
    std::fputs("usage: generate_listing OUTPUT BYTES SEED [--single-line | --records-only]\n",
               stderr);
    return 2;
  }
  const unsigned long long size = std::strtoull(argv[2], nullptr, 10);
  std::mt19937_64 random(std::strtoull(argv[3], nullptr, 10));
  std::FILE* file = std::fopen(argv[1], "wb");
  if (file == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  std::string chunk;
  unsigned long long written = 0;
  unsigned long line = 0;
  int failed = 0;
  if (single_line) {
    chunk = ".1 0A1B2C3D4E ";
    failed |= write_all(file, chunk);
    chunk.assign(std::size_t{1} << 20, 'x');
    for (written = 14; written < size && !failed; written += chunk.size()) {
      failed |= write_all(file, chunk);
    }
  }
  while (written < size && !failed) {
    chunk.clear();
    while (chunk.size() < (std::size_t{1} << 20)) {
      if (records_only || random() % 2 == 0) {
        append_opcode_line(chunk, random, ++line);
      } else {
        append_other_line(chunk, random);
      }
    }
    failed |= write_all(file, chunk);
    written += chunk.size();
  }
  if (std::fclose(file) != 0 || failed) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
