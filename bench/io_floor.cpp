// The yardstick for the translator's speed: reads a listing in page-aligned
// 1 MiB blocks, finds every line feed with one memchr call per line, and
// writes a given number of bytes, nothing more. No program that reads every
// line and writes the header can be much faster.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

int main(int argc, char* argv[]) {
  if (argc != 4) {
    std::fputs("usage: io_floor LISTING OUTPUT OUTPUT_BYTES\n", stderr);
    return 2;
  }
  constexpr std::size_t block_size = std::size_t{1} << 20;
  const int input = open(argv[1], O_RDONLY);
  const int output = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (input == -1 || output == -1) return 1;
  const std::unique_ptr<char[], decltype(&std::free)> block(
      static_cast<char*>(std::aligned_alloc(4096, block_size)), &std::free);
  if (!block) return 1;
  unsigned long long lines = 0;
  ssize_t size = 0;
  while ((size = read(input, block.get(), block_size)) > 0) {
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
    if (write(output, block.get(), chunk) != static_cast<ssize_t>(chunk)) return 1;
    left -= chunk;
  }
  if (size < 0 || close(input) != 0 || close(output) != 0) return 1;
  std::printf("%llu lines\n", lines);
  return 0;
}
