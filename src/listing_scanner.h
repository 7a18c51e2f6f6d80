// Recognises the opcode records of an assembler listing and cuts out their
// values, line by line, however the listing is split into blocks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// The value of one opcode: its ten field characters, split in two and
// copied verbatim from the listing.
struct opcode_record {
  std::array<char, 8> low_text;   // field characters 2 to 9
  std::array<char, 2> high_text;  // field characters 0 and 1
};

enum class line_kind {
  other,              // not an opcode record
  opcode_record,      // a point, a digit, a label, blanks and ten hex digits
  non_hex_record,     // an opcode record whose field is not all hex digits
  incomplete_record,  // begins like a record but ends before its field does
};

// The scan of one line in progress, fed in parts that together form the
// line (without its line feed). Holds only what the verdict needs, so a line
// of any length costs the same few bytes.
class line_scan {
 public:
  void feed(std::string_view part);
  // Ends the line: says what it was, fills `record` for an opcode record,
  // and makes the scan ready for the next line.
  line_kind finish(opcode_record& record);

 private:
  enum class phase : std::uint8_t {
    line_start, after_point, label, blanks, field, complete, other,
  };
  phase phase_ = phase::line_start;
  std::uint8_t field_size_ = 0;
  std::array<char, 10> field_{};
};

// Scans one whole line, given without its line feed.
line_kind scan_opcode_record(std::string_view line, opcode_record& record);

// Whether a line that starts in `text` begins like an opcode record: no
// header has one, so such a file is taken for a listing.
bool holds_opcode_record(std::string_view text);

// What a listing line that matters turned out to be.
struct listing_event {
  line_kind kind;             // any kind but other
  std::int64_t line_number;   // the first line is 1
  opcode_record record;       // set for both kinds of opcode record
};

// Splits a listing, handed over in blocks of any size, into lines and
// reports each line that is, or begins like, an opcode record.
class listing_scanner {
 public:
  // Consumes `input` up to and including the next line that matters and
  // returns true with its event, or consumes all of it and returns false.
  bool next(std::string_view& input, listing_event& event);
  // At the end of the listing: reports a last line that had no line feed.
  bool finish(listing_event& event);

 private:
  bool end_line(listing_event& event);

  line_scan line_;
  std::int64_t line_number_ = 1;
  bool line_open_ = false;
};
