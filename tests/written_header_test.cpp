// Which files are taken for a header as marvot writes it, from their start,
// end and size: one row per case.
#include <cstdio>
#include <string>
#include <string_view>

#include "header_format.h"

namespace {

struct row {
  const char* what;
  std::string file;
  bool expected;
};

const std::string head = "const int u[] = {\n";
const std::string record = "\t\t0xE1D2C3B4,\n\t\t0xF0,\n";
const std::string tail = "\t\t};\n";
// Line by line as Windows writes it.
const std::string crlf = "const int u[] = {\r\n\t\t0xE1D2C3B4,\r\n\t\t0xF0,\r\n\t\t};\r\n";

const row rows[] = {
    {"two records", head + record + record + tail, true},
    {"no record", head + tail, true},
    {"carriage returns", crlf, true},
    {"a type, a prefix and a suffix",
     "#include <stdint.h>\nstatic const uint32_t u[] __attribute__((aligned(16))) = {\n" + record +
         tail,
     true},
    {"a definition with its declaration", "#include \"u_decl.h\"\nconst int u[] = {\n" + tail,
     true},
    {"three lines before the head", "#include <a>\n#include <b>\n#include <c>\n" + head + tail,
     false},
    {"a head without a type", "static u[] = {\n" + tail, false},
    {"no closing line (a failed run)", head + record, false},
    {"a byte more", head + record + "x" + tail, false},
    {"a listing line in place of an element", head + ".1 0123456789 NOP\n.2 00000\n" + tail,
     false},
    {"an element of other length", head + "\t\t0xE1D2C3B,\n\t\t0xF00,\n" + tail, false},
    {"a listing line in place of a high element", head + "\t\t0xE1D2C3B4,\n.1 0123\n" + tail,
     false},
    {"no head", "const long u[] = {\n" + record + tail, false},
    {"a listing line in the name", "const int a\n.1 0123456789\nb[] = {\n" + tail, false},
    {"no tail", head + record + "\t\t}\n\n", false},
    {"mixed line ends", "const int u[] = {\r\n" + record + tail, false},
};

}  // namespace

int main() {
  int failed = 0;
  for (const row& r : rows) {
    const std::string_view file = r.file;
    const std::string_view end = file.substr(file.size() < 8 ? 0 : file.size() - 8);
    if (is_written_header(file, end, file.size()) != r.expected) {
      std::printf("wrong verdict: %s\n", r.what);
      ++failed;
    }
  }
  // A header larger than its start: only the start's element lines are read,
  // the last of them too when it ends where the start does.
  const std::string large = head + record + record + record + tail;
  if (!is_written_header(std::string_view(large).substr(0, 30), tail, large.size())) {
    std::printf("wrong verdict: a header known from its start\n");
    ++failed;
  }
  // A size that cannot hold a head and a tail, as a file that shrank while
  // it was read may report: no count of records fits it.
  if (is_written_header(head + tail, tail, 7)) {  // 7 - 23 wraps to a multiple of 36
    std::printf("wrong verdict: a size below a head and a tail\n");
    ++failed;
  }
  const std::string start = head + record + ".1 0123456789\n.2 0000\n";
  if (is_written_header(start, tail, start.size() + record.size() + tail.size())) {
    std::printf("wrong verdict: a listing line at the end of the start\n");
    ++failed;
  }
  return failed == 0 ? 0 : 1;
}
