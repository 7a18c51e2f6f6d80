#include "listing_scanner.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

using namespace std::string_literals;

// Lets failures name the kind of line.
void PrintTo(line_kind kind, std::ostream* out) {
  static const char* const names[] = {"other", "opcode_record", "incomplete_record"};
  *out << names[static_cast<int>(kind)];
}

namespace {

struct line_case {
  std::string line;
  line_kind kind;
  std::string high;
  std::string low;
};

std::string low_of(const opcode_record& r) { return {r.low_text.begin(), r.low_text.end()}; }
std::string high_of(const opcode_record& r) { return {r.high_text.begin(), r.high_text.end()}; }

const std::vector<line_case>& line_cases() {
  static const std::vector<line_case> cases = {
      {".12 F0E1D2C3B4 LDI R0 ; comment", line_kind::opcode_record, "F0", "E1D2C3B4"},
      {".5     0A1B2C3D4E", line_kind::opcode_record, "0A", "1B2C3D4E"},
      {".7 FFFFFFFFFF", line_kind::opcode_record, "FF", "FFFFFFFF"},
      {".123: 0011223344 x", line_kind::opcode_record, "00", "11223344"},
      {".1\t2 0011223344", line_kind::opcode_record, "00", "11223344"},
      {".1 \t0112233445", line_kind::opcode_record, "\t0", "11223344"},
      {".3 0a1b2c3d4e", line_kind::opcode_record, "0a", "1b2c3d4e"},
      {".9 not-hex!!?", line_kind::opcode_record, "no", "t-hex!!?"},
      {".1 A\0\r\x1a\xff" "12345 tail"s, line_kind::opcode_record, "A\0"s, "\r\x1a\xff" "12345"},
      {".0 0123456789", line_kind::opcode_record, "01", "23456789"},
      {" .1 0011223344", line_kind::other, "", ""},
      {"..1 0011223344", line_kind::other, "", ""},
      {".a 0011223344", line_kind::other, "", ""},
      {". 0011223344", line_kind::other, "", ""},
      {".\xb9 0011223344", line_kind::other, "", ""},
      {"\t.1 0011223344", line_kind::other, "", ""},
      {"", line_kind::other, "", ""},
      {".", line_kind::other, "", ""},
      {"; .1 0011223344", line_kind::other, "", ""},
      {".1", line_kind::incomplete_record, "", ""},
      {".12345:", line_kind::incomplete_record, "", ""},
      {".1     ", line_kind::incomplete_record, "", ""},
      {".1 012345678", line_kind::incomplete_record, "", ""},
      {".1\t0123456789", line_kind::incomplete_record, "", ""},
  };
  return cases;
}

void expect_case(const line_case& c, line_kind kind, const opcode_record& record) {
  ASSERT_EQ(kind, c.kind);
  if (kind != line_kind::opcode_record) return;
  EXPECT_EQ(high_of(record), c.high);
  EXPECT_EQ(low_of(record), c.low);
}

TEST(ListingScannerTest, ScansWholeLines) {
  for (const line_case& c : line_cases()) {
    SCOPED_TRACE(c.line);
    opcode_record record{};
    expect_case(c, scan_opcode_record(c.line, record), record);
  }
}

// A line fed in two parts, cut anywhere, scans as the whole line does.
TEST(ListingScannerTest, LineScanResumesAtAnyCut) {
  for (const line_case& c : line_cases()) {
    for (std::size_t cut = 0; cut <= c.line.size(); ++cut) {
      SCOPED_TRACE(c.line + " cut at " + std::to_string(cut));
      line_scan scan;
      scan.feed(std::string_view(c.line).substr(0, cut));
      scan.feed(std::string_view(c.line).substr(cut));
      opcode_record record{};
      expect_case(c, scan.finish(record), record);
    }
  }
}

struct seen {
  line_kind kind;
  std::int64_t line_number;
  std::string high;
  std::string low;
  bool operator==(const seen&) const = default;
};

std::vector<seen> scan_in_blocks(std::string_view listing, std::size_t block) {
  std::vector<seen> events;
  listing_scanner scanner;
  listing_event event{};
  auto keep = [&] {
    events.push_back({event.kind, event.line_number,
                      event.kind == line_kind::opcode_record ? high_of(event.record) : "",
                      event.kind == line_kind::opcode_record ? low_of(event.record) : ""});
  };
  for (std::size_t at = 0; at < listing.size(); at += block) {
    std::string_view rest = listing.substr(at, block);
    while (scanner.next(rest, event)) keep();
    EXPECT_TRUE(rest.empty());
  }
  if (scanner.finish(event)) keep();
  return events;
}

// Every way of cutting the listing into blocks gives the same lines.
TEST(ListingScannerTest, ListingSplitsIntoLinesAcrossBlocks) {
  const std::string listing =
      "; header\n"
      ".1 A012345678 LDI\n"
      "\n"
      ".2\n"
      "   .3 0011223344\n"
      ".4:   B2000000FF\r\n"
      ".5 0011";
  const std::vector<seen> expected = {
      {line_kind::opcode_record, 2, "A0", "12345678"},
      {line_kind::incomplete_record, 4, "", ""},
      {line_kind::opcode_record, 6, "B2", "000000FF"},
      {line_kind::incomplete_record, 7, "", ""},
  };
  for (std::size_t block = 1; block <= listing.size(); ++block) {
    SCOPED_TRACE("block size " + std::to_string(block));
    EXPECT_EQ(scan_in_blocks(listing, block), expected);
  }
}

TEST(ListingScannerTest, ListingEdges) {
  const struct {
    std::string listing;
    std::vector<seen> expected;
  } cases[] = {
      {"", {}},
      {"\n\n\n", {}},
      {".1 0123456789", {{line_kind::opcode_record, 1, "01", "23456789"}}},
      {".1 0123456789\n", {{line_kind::opcode_record, 1, "01", "23456789"}}},
      {"\n.7", {{line_kind::incomplete_record, 2, "", ""}}},
      {".7\n", {{line_kind::incomplete_record, 1, "", ""}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.listing);
    EXPECT_EQ(scan_in_blocks(c.listing, 4), c.expected);
  }
}

// Only the start of a line decides; a long line is one line however long,
// so a field far out is found and a record-like text inside is no record.
TEST(ListingScannerTest, LongLinesKeepTheirFieldAndHideNoRecord) {
  const std::string listing = ".1" + std::string(150, 'L') + std::string(120, ' ') +
                              "ABCDEF0123 x\n" + std::string(80, 'x') +
                              ".2 0123456789\n";
  const std::vector<seen> expected = {{line_kind::opcode_record, 1, "AB", "CDEF0123"}};
  for (std::size_t block = 1; block <= listing.size(); ++block) {
    SCOPED_TRACE("block size " + std::to_string(block));
    EXPECT_EQ(scan_in_blocks(listing, block), expected);
  }
}

}  // namespace
