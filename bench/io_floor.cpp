// The yardstick for the translator's speed: reads a listing in 1 MiB blocks,
// finds every line feed, and writes a given number of bytes, nothing more.
// No program that reads every line and writes the header can be much faster.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

int main(int argc, char* argv[]) {
  if (argc != 4) {
    std::fputs("usage: io_floor LISTING OUTPUT OUTPUT_BYTES\n", stderr);
    return 2;
  }
  constexpr std::size_t block_size = std::size_t{1} << 20;
  std::FILE* input = std::fopen(argv[1], "r");
  std::FILE* output = std::fopen(argv[2], "w");
  if (input == nullptr || output == nullptr) return 1;
  const auto block = std::make_unique<char[]>(block_size);
  unsigned long long lines = 0;
  std::size_t size = 0;
  while ((size = std::fread(block.get(), 1, block_size, input)) > 0) {
    const char* p = block.get();
    const char* const end = p + size;
    while (const void* line_feed = std::memchr(p, '\n', static_cast<std::size_t>(end - p))) {
      p = static_cast<const char*>(line_feed) + 1;
      ++lines;
    }
  }
  unsigned long long left = std::strtoull(argv[3], nullptr, 10);
  std::memset(block.get(), 'x', block_size);
  while (left > 0) {
    const std::size_t chunk = left < block_size ? static_cast<std::size_t>(left) : block_size;
    if (std::fwrite(block.get(), 1, chunk, output) != chunk) return 1;
    left -= chunk;
  }
  std::fclose(input);
  if (std::fclose(output) != 0) return 1;
  std::printf("%llu lines\n", lines);
  return 0;
}
