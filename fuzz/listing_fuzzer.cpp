// Feeds arbitrary bytes through the listing scanner and the header writer
// and checks what must hold for any listing: the lines reported are exactly
// those a plain reading of each line finds, and the header is exactly the one
// that reading writes: two element lines per record, of the line's own bytes,
// and the lines it finds faulty are those reported.
//
// The first input byte sets the size of the blocks the listing arrives in,
// so that lines are cut at every possible place. Lines are found by both
// strategies, and bytes compared both ways.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

#include "header_format.h"
#include "listing_scanner.h"
#include "record_search.h"

namespace {

void require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "listing_fuzzer: %s\n", what);
  std::abort();
}

// The line rules read as plainly as possible, index by index.
line_kind plain_scan(std::string_view line, std::string_view& field, bool& label_tab) {
  if (line.size() < 2 || line[0] != '.' || line[1] < '0' || line[1] > '9') {
    return line_kind::other;
  }
  std::size_t p = 1;
  while (p < line.size() && line[p] != ' ') ++p;
  label_tab = line.substr(1, p - 1).find('\t') != std::string_view::npos;
  if (p == line.size()) return line_kind::incomplete_record;
  while (p < line.size() && line[p] == ' ') ++p;
  if (line.size() - p < 10) return line_kind::incomplete_record;
  field = line.substr(p, 10);
  const bool hex = field.find_first_not_of("0123456789ABCDEFabcdef") == std::string_view::npos;
  return hex ? line_kind::opcode_record : line_kind::non_hex_record;
}

// The guard's wider rule, read as plainly: a point, a digit, the label up
// to a blank, the blanks, then ten hex digits, in lines ended by a line
// feed; or, with a tab taken for a blank, in lines ended by a line feed or
// a carriage return.
bool plain_guard_record(std::string_view line, const char* blanks) {
  if (line.size() < 2 || line[0] != '.' || line[1] < '0' || line[1] > '9') return false;
  const std::size_t gap = line.find_first_of(blanks, 1);
  if (gap == std::string_view::npos) return false;
  const std::size_t field = line.find_first_not_of(blanks, gap);
  if (field == std::string_view::npos || line.size() - field < 10) return false;
  return line.substr(field, 10).find_first_not_of("0123456789ABCDEFabcdef") ==
         std::string_view::npos;
}

bool plain_guard(std::string_view file, const char* line_ends, const char* blanks) {
  while (!file.empty()) {
    const std::size_t end = file.find_first_of(line_ends);
    if (plain_guard_record(file.substr(0, end), blanks)) return true;
    file.remove_prefix(end == std::string_view::npos ? file.size() : end + 1);
  }
  return false;
}

// Whether a lone carriage return of `line` (one that no line feed follows)
// is followed by a record of the guard's tab-separated, CR-ended reading.
bool plain_hidden(std::string_view line, bool line_feed_follows) {
  for (std::size_t cr = line.find('\r'); cr != std::string_view::npos; cr = line.find('\r', cr + 1)) {
    const bool lone = cr + 1 < line.size() || !line_feed_follows;
    const std::string_view rest = line.substr(cr + 1);
    if (lone && plain_guard_record(rest.substr(0, rest.find('\r')), " \t")) return true;
  }
  return false;
}

// The header and the faulty lines that the plain reading expects, each
// line's number followed by 'i' (incomplete) or 'x' (not hexadecimal), then
// for the latter its field and 't' when its label holds a tab; and 'h' for
// a record hidden after a lone carriage return.
struct expectation {
  std::string text;
  std::string faulty_lines;
  std::size_t records = 0;
  bool guarded = false;  // the guard takes the file for a listing
};

expectation expect(std::string_view listing) {
  expectation expected;
  expected.guarded = plain_guard(listing, "\n", " ") || plain_guard(listing, "\r\n", " \t");
  expected.text = "const int fuzz[] = {\n";
  std::int64_t number = 1;
  while (!listing.empty()) {
    const std::size_t line_feed = listing.find('\n');
    const std::string_view line = listing.substr(0, line_feed);
    const bool hidden = plain_hidden(line, line_feed != std::string_view::npos);
    listing.remove_prefix(line_feed == std::string_view::npos ? listing.size() : line_feed + 1);
    std::string_view field;
    bool label_tab = false;
    const line_kind kind = plain_scan(line, field, label_tab);
    opcode_record record{};
    require(scan_opcode_record(line, record) == kind, "whole-line scan disagrees");
    require(kind != line_kind::opcode_record || expected.guarded, "a record the guard misses");
    if (kind == line_kind::opcode_record || kind == line_kind::non_hex_record) {
      ++expected.records;
      expected.text += "\t\t0x" + std::string(field.substr(2)) + ",\n";
      expected.text += "\t\t0x" + std::string(field.substr(0, 2)) + ",\n";
    }
    if (kind == line_kind::incomplete_record) {
      expected.faulty_lines += std::to_string(number) + "i ";
    }
    if (kind == line_kind::non_hex_record) {
      expected.faulty_lines += std::to_string(number) + 'x';
      expected.faulty_lines.append(field);
      expected.faulty_lines += label_tab ? "t " : " ";
    }
    if (hidden) expected.faulty_lines += std::to_string(number) + "h ";
    ++number;
  }
  expected.text += "\t\t};\n";
  return expected;
}

// Collects the faulty lines as the plain reading writes them.
class faulty_lines final : public line_reporter {
 public:
  void report(const listing_event& event) override {
    lines += std::to_string(event.line_number);
    if (event.kind == line_kind::incomplete_record || event.kind == line_kind::hidden_record) {
      lines += event.kind == line_kind::hidden_record ? "h " : "i ";
      return;
    }
    lines += 'x';
    lines.append(event.field);
    lines += event.label_tab ? "t " : " ";
  }
  std::string lines;
};

// Runs the scanner over `listing` cut into blocks of `block` bytes.
void check_scanner(std::string_view listing, std::size_t block, line_strategy strategy,
                   byte_compare compare, const expectation& expected) {
  header_text text(43);  // the head and one record fill it to the last byte
  write_array_head(text, "fuzz.h");
  listing_scanner scanner(strategy);
  faulty_lines faulty;
  for (std::size_t at = 0; at < listing.size(); at += block) {
    scanner.scan(listing.substr(at, block), text, faulty);
  }
  scanner.finish(text, faulty);
  write_array_tail(text);
  require(static_cast<std::size_t>(scanner.records()) == expected.records, "record count");
  record_search search(compare);
  bool found = false;
  for (std::size_t at = 0; at < listing.size() && !found; at += block) {
    found = search.scan(listing.substr(at, block));
  }
  require((found || search.finish()) == expected.guarded, "listing taken for a header");
  require(faulty.lines == expected.faulty_lines, "faulty lines");
  require(text.view() == expected.text, "header text");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t block = 1 + data[0];
  const std::string_view listing(reinterpret_cast<const char*>(data + 1), size - 1);
  const expectation expected = expect(listing);
  constexpr std::pair<line_strategy, byte_compare> ways[] = {
      {line_strategy::line_points, byte_compare::sse2},
      {line_strategy::each_line, byte_compare::words}};
  for (const auto& [strategy, compare] : ways) {
    check_scanner(listing, block, strategy, compare, expected);
    check_scanner(listing, listing.size() + 1, strategy, compare, expected);  // as one block
  }
  return 0;
}
