// Runs the fuzz target over the listings it is given, each cut into blocks of
// every size, so that its checks hold in every build and not only in fuzzing.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "fuzz_corpus: cannot read %s\n", argv[i]);
      return 1;
    }
    std::string input(1, '\0');  // the first byte sets the block size
    input.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    for (int block = 0; block < 256; ++block) {
      input[0] = static_cast<char>(block);
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    }
    std::printf("%s: %zu bytes, every block size\n", argv[i], input.size() - 1);
  }
  return 0;
}
