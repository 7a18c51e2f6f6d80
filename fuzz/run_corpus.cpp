// Runs the fuzz target over the listings it is given, each cut into blocks of
// every size, so that its checks hold in every build and not only in fuzzing.
// Each line is also made the listing's last, without and with its line feed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

// `input` is the block size byte and the listing, of which the first `size`
// bytes are passed in memory of just that size, as the fuzzer passes them,
// so that AddressSanitizer sees any read past the end.
void run(const std::string& input, std::size_t size) {
  const auto data = std::make_unique<std::uint8_t[]>(size);
  std::memcpy(data.get(), input.data(), size);
  LLVMFuzzerTestOneInput(data.get(), size);
}

}  // namespace

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
      run(input, input.size());
    }
    input[0] = 63;  // blocks of 64 bytes, as the line feeds are looked for
    std::size_t at = input.find('\n');
    for (; at != std::string::npos; at = input.find('\n', at + 1)) {
      run(input, at);
      run(input, at + 1);
    }
    std::printf("%s: %zu bytes, every block size, every line last\n", argv[i], input.size() - 1);
  }
  return 0;
}
